// The web build against the native one: the worklet's music finds the native lock-step syncs;
// the web build stepped offline at 60 fps renders the programme frames of the native capture
// renderer pixel for pixel; the served page shows its photosensitivity warning before the click
// and plays in headless Chromium, every scene a live picture between exactly black bars, and
// Escape ends it. Run by scripts/web-test.sh, which builds everything and serves build-web/page/
// at TARVOLA_WEB_URL.
import { after, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import libopenmpt from '../../web/node_modules/chiptune3/libopenmpt.worklet.js';
import { ModulePlayer } from '../../web/module_player.js';

const root = path.resolve(path.dirname(new URL(import.meta.url).pathname), '../..');
const build = path.join(root, 'build');
const tmp = fs.mkdtempSync('/tmp/tarvola-web-test-');
const syncFile = path.join(tmp, 'syncs.txt');
after(() => fs.rmSync(tmp, { recursive: true, force: true }));
const run = (file, args, options = {}) => execFileSync(file, args, { cwd: build, encoding: 'utf8', maxBuffer: 1 << 26, ...options });

test('the worklet music gives the native sync list', async () => {
  const player = new ModulePlayer(await libopenmpt());
  assert.ok(player.load(fs.readFileSync(path.join(build, 'data/kyr.it'))));
  const syncs = [], out = new Float32Array(2 * 4410);
  while (player.frame < 166 * 44100) player.pull(out, 4410, (sample, value) => syncs.push([sample, value]));
  const native = run(path.join(build, 'tarvola-capture'), ['--list-syncs']).trim().split('\n')
      .map((line) => line.trim().split(/\s+/)).map(([time, , , value]) => [Math.round(Number(time) * 44100), Number(value)]);
  const web = syncs.filter(([sample]) => sample <= native.at(-1)[0] + 256);
  assert.equal(web.length, native.length);
  web.forEach(([sample, value], i) => {
    assert.equal(value, native[i][1], `sync ${i}`);
    assert.ok(Math.abs(sample - native[i][0]) <= 256, `sync ${i} at ${sample}, natively ${native[i][0]}`);
  });
  fs.writeFileSync(syncFile, syncs.map((s) => s.join(' ')).join('\n') + '\n');
});

test('stepped at 60 fps the web build renders the native frames', () => {
  const times = '4,8.2,12,30,53,79.6,85,100,115,130,141';
  run(path.join(build, 'tarvola-capture'), ['--no-progress', '--fps', '60', '--png', tmp, '--frames-at', times]);
  run('node', [path.join(root, 'build-web/tarvola-web-stepped.js'), '60', syncFile, tmp, times]);
  for (const time of times.split(',')) {
    const signature = (file) => run('identify', ['-format', '%#', path.join(tmp, file)]);
    assert.equal(signature(`frame-at-${time}.ppm`), signature(`frame-at-${time}.png`), `frame at ${time} s`);
  }
});

test('the page plays every scene in headless Chromium and Escape ends it', { timeout: 300000 }, async () => {
  const { chromium } = await import('../../web/node_modules/playwright-core/index.mjs');
  const browser = await chromium.launchPersistentContext(fs.mkdtempSync(path.join(tmp, 'profile-')), {
    executablePath: '/usr/bin/chromium', headless: true, viewport: { width: 1280, height: 720 },
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync'] });
  try {
    const page = browser.pages()[0] ?? await browser.newPage();
    const errors = [];
    page.on('pageerror', (error) => errors.push(error.message));
    await page.goto(process.env.TARVOLA_WEB_URL ?? 'http://127.0.0.1:8000/');
    await page.waitForFunction(() => document.getElementById('start').textContent.startsWith('click'), null, { timeout: 60000 });
    assert.ok(await page.isVisible('#warning'), 'the photosensitivity warning shows before the click');
    await page.click('#start');
    const slots = [[0, 8.5], [8.5, 44.5], [44.5, 80], [80, 94], [94, 124], [124, 166]];
    for (const [from, to] of slots) {
      const middle = (from + to) / 2;
      await page.waitForFunction((t) => (window.tarvolaStats.at(-1)?.[0] ?? 0) >= t, middle, { timeout: 200000, polling: 50 });
      const shot = path.join(tmp, `page-${middle}.png`);
      await page.screenshot({ path: shot });
      // 1280 x 720: the 4:3 picture is 960 x 720 from x = 160; the bars beside it are black.
      const rgb = execFileSync('convert', [shot, 'rgb:-'], { maxBuffer: 1 << 24 });
      const colours = new Set();
      let barNotBlack = 0;
      for (let y = 0; y < 720; ++y) {
        for (let x = 0; x < 1280; ++x) {
          const i = 3 * (y * 1280 + x), colour = (rgb[i] << 16) | (rgb[i + 1] << 8) | rgb[i + 2];
          if (x < 160 || x >= 1120) barNotBlack += colour !== 0; else colours.add(colour);
        }
      }
      assert.equal(barNotBlack, 0, `bars at ${middle} s`);
      assert.ok(colours.size > 50, `a live picture at ${middle} s (${colours.size} colours)`);
    }
    const stats = await page.evaluate(() => window.tarvolaStats);
    slots.forEach(([from, to], scene) => {
      const frames = stats.filter(([t]) => t >= from && t < to);
      const sorted = (k) => frames.map((f) => f[k]).sort((a, b) => a - b);
      const [work, gap] = [sorted(1), sorted(2)];
      const fps = frames.length / (frames.at(-1)[0] - frames[0][0]);
      console.log(`scene ${scene + 1}: ${fps.toFixed(1)} fps, work median ${work[work.length >> 1].toFixed(1)} ms ` +
                  `worst ${work.at(-1).toFixed(1)} ms; frame interval median ${gap[gap.length >> 1].toFixed(1)} ms worst ${gap.at(-1).toFixed(1)} ms`);
    });
    assert.ok(await page.evaluate(() => window.tarvolaSyncs) > 0, 'the music raised syncs');
    await page.keyboard.press('Escape');
    await page.waitForFunction(() => window.tarvolaEnded === true, null, { timeout: 10000 });
    assert.deepEqual(errors, []);
  } finally {
    await browser.close();
  }
});
