// How much work a frame headless Chromium on this machine can carry at 60 fps with the CPU
// slowed: a bare page that, on every animation frame, runs a fixed amount of integer work
// (calibrated, not slowed, to take the given milliseconds as the page measures a frame's work,
// the measure page_speed.mjs reports for the demo) and puts a 320 x 240 ImageData into a
// canvas, as the demo's page presents. Prints, per rate and amount, frames per second, the share
// of frame intervals over 25 ms and the work's median as the page measures it. The amounts are
// CPU work, not wall time: slowed N times, a millisecond of it takes about N.
//   node tools/page-speed/capacity.mjs [--seconds S] RATE:MS...   (e.g. 6:1 6:1.5 6:2 4:2.5)
// The bound it finds moves with the machine's load from run to run; set beside a scene's work in
// the page (page_speed.mjs, not slowed) measured on the same hour, it tells whether the scene's
// own work or something else costs its frames.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

import { kSlowInterval, launchBrowser, servePage } from './page_speed.mjs';

const kPage = `<!doctype html><html><body style="margin:0;background:#000">
<canvas id="c" width="320" height="240" style="width:960px;height:720px;image-rendering:pixelated"></canvas>
<script>
const context = document.getElementById('c').getContext('2d', { alpha: false });
const image = context.createImageData(320, 240);
let steps = 0, seed = 1, last = 0, frame = 0;
window.intervals = [];
window.work = [];
function burn(count) { let s = seed; for (let i = 0; i < count; ++i) s = (Math.imul(s, 1664525) + 1013904223) | 0; seed = s; }
window.setWork = (count) => { steps = count; window.intervals = []; window.work = []; };
function onFrame(now) {
  if (last) window.intervals.push(now - last);
  last = now;
  const began = performance.now();
  burn(steps);
  window.work.push(performance.now() - began);
  image.data[(frame++ * 4) % image.data.length] = 255;
  context.putImageData(image, 0, 0);
  requestAnimationFrame(onFrame);
}
requestAnimationFrame(onFrame);
</script></body></html>`;

const args = process.argv.slice(2);
let seconds = 20;
const runs = [];
while (args.length) {
  const arg = args.shift();
  if (arg === '--seconds') seconds = Number(args.shift());
  else if (/^\d+(\.\d+)?:\d+(\.\d+)?$/.test(arg)) runs.push(arg.split(':').map(Number));
  else throw new Error(`expected RATE:MS or --seconds S, got ${arg}`);
}
if (runs.length === 0) throw new Error('usage: capacity.mjs [--seconds S] RATE:MS...');

const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'tarvola-capacity-'));
fs.writeFileSync(path.join(dir, 'index.html'), kPage);
const server = await servePage(dir);
const browser = await launchBrowser();
try {
  const page = browser.pages()[0] ?? await browser.newPage();
  await page.goto(server.url);
  const cdp = await page.context().newCDPSession(page);
  const workMedian = async (rate, count, ms) => {
    await cdp.send('Emulation.setCPUThrottlingRate', { rate });
    await page.evaluate((n) => window.setWork(n), count);
    await new Promise((resolve) => setTimeout(resolve, ms));
    const [intervals, work] = await page.evaluate(() => [window.intervals, window.work]);
    return { intervals, median: [...work].sort((a, b) => a - b)[work.length >> 1] };
  };
  // Steps per millisecond of in-frame work, not slowed: three rounds of 3 s at 5 ms a frame
  // (the page's clock has a 0.1 ms grain), the fastest kept.
  let stepsPerMs = 2e4;
  for (let round = 0, best = 0; round < 3; ++round) {
    const { median } = await workMedian(1, Math.round(5 * stepsPerMs), 3000);
    best = Math.max(best, (5 * stepsPerMs) / median);
    stepsPerMs = best;
  }
  console.log(`rate, work a frame (not slowed): fps, intervals over ${kSlowInterval} ms, work median as the page measures it`);
  for (const [rate, ms] of runs) {
    const { intervals, median } = await workMedian(rate, Math.round(ms * stepsPerMs), seconds * 1000);
    const fps = (1000 * intervals.length) / intervals.reduce((a, b) => a + b, 0);
    const slow = intervals.filter((interval) => interval > kSlowInterval).length / intervals.length;
    console.log(`${rate}x, ${ms} ms: ${fps.toFixed(1)} fps, ${(100 * slow).toFixed(1)} %, ${median.toFixed(1)} ms`);
  }
} finally {
  await browser.close();
  server.close();
  fs.rmSync(dir, { recursive: true, force: true });
}
