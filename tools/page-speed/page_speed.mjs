// The page's frame times in headless Chromium, as a person on a slower device would see them: the
// page served from a folder on 127.0.0.1, started by a click, played through the whole programme
// (or up to a time) with the CPU slowed N times (DevTools' Emulation.setCPUThrottlingRate: 4 is
// its mid-range phone, 6 its low-end one), then a table per scene of frames per second, the share
// of frame intervals over 25 ms (between the refreshes consecutive frames were begun for: over 25
// a refresh at 60 Hz went by without a new picture), and the work per frame (median and
// 99th percentile; the page's own measure, from the frame's message poll to the end of its
// present) and the present's share of it (median).
//   node tools/page-speed/page_speed.mjs PAGE_DIR [--rate N]... [--until SECONDS] [--canvas webgl]
// Run from the repository; build/tarvola-capture lists the scenes. The web test drives the same
// functions and checks the pictures.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';

const root = path.resolve(path.dirname(new URL(import.meta.url).pathname), '../..');
export const kSlowInterval = 25;  // ms: over it a 60 Hz refresh was missed

// The scene slots as the native tool lists them: [start, end) in seconds.
export function sceneSlots(build = path.join(root, 'build')) {
  return execFileSync(path.join(build, 'tarvola-capture'), ['--list-scenes'], { cwd: build, encoding: 'utf8' })
      .trim().split('\n').map((line) => line.split('\t').slice(1, 3).map(Number));
}

// A static server for the page's folder on a free port of 127.0.0.1; resolves to its URL and close().
export function servePage(dir) {
  const types = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm' };
  const server = http.createServer((request, response) => {
    let file = path.join(dir, path.normalize(decodeURIComponent(request.url.split('?')[0])).replace(/^(\.\.[/\\])+/, ''));
    if (file.endsWith('/')) file = path.join(file, 'index.html');
    fs.readFile(file, (error, bytes) => {
      if (error) return response.writeHead(404).end();
      response.writeHead(200, { 'Content-Type': types[path.extname(file)] ?? 'application/octet-stream' }).end(bytes);
    });
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () =>
    resolve({ url: `http://127.0.0.1:${server.address().port}/`, close: () => server.close() })));
}

// Headless Chromium at 1280 x 720 with a profile of its own; without a GPU its WebGL runs on
// SwiftShader.
export async function launchBrowser() {
  const { chromium } = await import('../../web/node_modules/playwright-core/index.mjs');
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'tarvola-page-'));
  const browser = await chromium.launchPersistentContext(profile, {
    executablePath: '/usr/bin/chromium', headless: true, viewport: { width: 1280, height: 720 },
    args: ['--no-sandbox', '--disable-quic', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-gpu', '--disable-sync'] });
  const close = browser.close.bind(browser);
  browser.close = async () => { await close(); fs.rmSync(profile, { recursive: true, force: true }); };
  return browser;
}

// Opens the page, clicks "click to start" with the CPU slowed `rate` times and plays until the
// demo time reaches `until` (the end when null: the end screen). `atTime` pairs of [seconds,
// callback(page)] run when the demo passes them. Resolves to the page's frame records
// [demo seconds, work ms, interval ms] and the errors the page threw.
export async function playPage(browser, url, { rate = 1, until = null, atTime = [] } = {}) {
  const page = browser.pages()[0] ?? await browser.newPage();
  const errors = [];
  page.on('pageerror', (error) => errors.push(error.message));
  await page.goto(url);
  await page.waitForFunction(() => document.getElementById('start').textContent.startsWith('click'), null, { timeout: 60000 });
  if (rate !== 1) await (await page.context().newCDPSession(page)).send('Emulation.setCPUThrottlingRate', { rate });
  await page.click('#start');
  const reached = (t) => page.waitForFunction((s) => (window.tarvolaStats.at(-1)?.[0] ?? 0) >= s, t,
                                              { timeout: 400000, polling: 250 });
  for (const [time, callback] of atTime) {
    await reached(time);
    await callback(page);
  }
  if (until === null) await page.waitForFunction(() => window.tarvolaEnded === true, null, { timeout: 400000, polling: 250 });
  else await reached(until);
  return { page, errors, stats: await page.evaluate(() => window.tarvolaStats) };
}

// Per scene: frames, frames per second, share of intervals over 25 ms, work median and 99th percentile.
export function sceneFigures(stats, slots) {
  return slots.map(([from, to]) => {
    const frames = stats.filter(([t]) => t >= from && t < to);
    if (frames.length < 2) return { frames: frames.length, fps: 0, slow: 1, median: 0, p99: 0, present: 0 };
    const sorted = (k) => frames.map((f) => f[k]).sort((a, b) => a - b);
    const at = (values, q) => values[Math.min(values.length - 1, Math.floor(q * values.length))];
    const work = sorted(1);
    return { frames: frames.length, fps: (frames.length - 1) / (frames.at(-1)[0] - frames[0][0]),
             slow: frames.filter((f) => f[2] > kSlowInterval).length / frames.length, median: at(work, 0.5),
             p99: at(work, 0.99), present: frames[0].length > 3 ? at(sorted(3), 0.5) : NaN };
  });
}

export function figuresTable(figures, rate) {
  const lines = [`CPU slowed ${rate}x: scene, fps, intervals over ${kSlowInterval} ms, work median / 99th percentile, ` +
                 'present median'];
  figures.forEach((f, i) => lines.push(`scene ${i + 1}: ${f.fps.toFixed(1)} fps, ${(100 * f.slow).toFixed(1)} %, ` +
                                       `${f.median.toFixed(1)} / ${f.p99.toFixed(1)} ms, ${Number.isNaN(f.present) ? '-' : f.present.toFixed(2)} ms ` +
                                       `(${f.frames} frames)`));
  return lines.join('\n');
}

if (process.argv[1] === new URL(import.meta.url).pathname) {
  const args = process.argv.slice(2);
  const rates = [], dir = args.shift();
  let until = null, query = '';
  while (args.length) {
    const option = args.shift();
    if (option === '--rate') rates.push(Number(args.shift()));
    else if (option === '--until') until = Number(args.shift());
    else if (option === '--canvas') query = `?canvas=${args.shift()}`;
    else throw new Error(`unknown option ${option}`);
  }
  const slots = sceneSlots(), server = await servePage(dir);
  try {
    for (const rate of rates.length ? rates : [1]) {
      const browser = await launchBrowser();
      try {
        const { page, stats, errors } = await playPage(browser, server.url + query, { rate, until });
        console.log(`canvas: ${await page.evaluate(() => window.tarvolaCanvas)}`);
        console.log(figuresTable(sceneFigures(stats, slots), rate));
        if (errors.length) console.log('page errors:', errors);
      } finally {
        await browser.close();
      }
    }
  } finally {
    server.close();
  }
}
