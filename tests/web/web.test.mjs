// The web build against the native one: the page's music worklet, run in node over the whole
// song with the closing fade, gives the native capture's sound sample for sample and its syncs
// exactly; the fast kernels' tests pass in node on every vector path; the web build stepped
// offline at 60 fps renders the programme frames of the native capture renderer pixel for pixel;
// the served page shows its photosensitivity warning before the click, then the loading picture
// exactly on either canvas (2D and WebGL), and plays in headless Chromium, every scene a live
// picture between exactly black bars, and Escape ends it; and it plays the whole programme with
// the CPU slowed four and six times, its frame figures printed. Run by scripts/web-test.sh, which
// builds everything and serves build-web/page/ at TARVOLA_WEB_URL.
import { after, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import vm from 'node:vm';

import { figuresTable, launchBrowser, playPage, sceneFigures, sceneSlots } from '../../tools/page-speed/page_speed.mjs';

const root = path.resolve(path.dirname(new URL(import.meta.url).pathname), '../..');
const build = path.join(root, 'build');
const tmp = fs.mkdtempSync('/tmp/tarvola-web-test-');
const syncFile = path.join(tmp, 'syncs.txt');
after(() => fs.rmSync(tmp, { recursive: true, force: true }));
const run = (file, args, options = {}) => execFileSync(file, args, { cwd: build, encoding: 'utf8', maxBuffer: 1 << 26, ...options });
// The scene slots as the native tool lists them: [start, end) in seconds; the last ends the song.
const slots = sceneSlots(build);
const kSongSeconds = slots.at(-1)[1], kSampleRate = 44100;
const pageUrl = process.env.TARVOLA_WEB_URL ?? 'http://127.0.0.1:8000/';

// The page's worklet script in a context of its own, as an AudioWorkletGlobalScope runs it:
// its processor class, and everything it posts.
function loadWorklet() {
  const posted = [];
  const scope = {
    console,
    currentFrame: 0,
    AudioWorkletProcessor: class { constructor() { this.port = { postMessage: (message) => posted.push(message) }; } },
    registerProcessor: (name, processor) => { scope.registered = processor; },
  };
  vm.createContext(scope);
  vm.runInContext(fs.readFileSync(path.join(root, 'build-web/page/music_worklet.js'), 'utf8'), scope);
  return { scope, posted, processor: new scope.registered() };
}

test('the worklet plays the native capture\'s sound and syncs exactly', () => {
  const wavPath = path.join(tmp, 'song.wav');
  run(path.join(build, 'tarvola-capture'), ['--no-progress', '--wav', wavPath]);
  const wav = fs.readFileSync(wavPath);
  const data = wav.indexOf('data', 12);
  const native = new Int16Array(wav.buffer, wav.byteOffset + data + 8, wav.readUInt32LE(data + 4) / 2);

  const { scope, posted, processor } = loadWorklet();
  processor.receive({ cmd: 'load', bytes: fs.readFileSync(path.join(build, 'data/kyr.it')) });
  assert.deepEqual({ ...posted.shift() }, { cmd: 'loaded', ok: true });
  processor.receive({ cmd: 'play', atFrame: 0 });
  // Render quanta of 128 frames, the fade from the song's last sample on, as the capture does.
  const songFrames = kSongSeconds * kSampleRate, left = new Float32Array(128), right = new Float32Array(128);
  const web = new Int16Array(native.length + 256);
  let frames = 0, mismatch = -1;
  while (!posted.some((message) => message.cmd === 'silent') && frames < native.length / 2 + 128) {
    if (frames === songFrames) processor.receive({ cmd: 'fade' });
    const n = Math.min(128, frames < songFrames ? songFrames - frames : 128);
    scope.currentFrame = frames;
    processor.process([], [[left.subarray(0, n), right.subarray(0, n)]]);
    for (let i = 0; i < n; ++i, ++frames) {
      // As the capture's WAV writer: clamped to [-1, 1], times 32767 toward zero.
      web[2 * frames] = Math.trunc(Math.max(-1, Math.min(1, left[i])) * 32767);
      web[2 * frames + 1] = Math.trunc(Math.max(-1, Math.min(1, right[i])) * 32767);
      if (mismatch < 0 && 2 * frames < native.length &&
          (web[2 * frames] !== native[2 * frames] || web[2 * frames + 1] !== native[2 * frames + 1])) mismatch = frames;
    }
  }
  assert.equal(mismatch, -1, `the first differing frame (${(mismatch / kSampleRate).toFixed(4)} s)`);
  // The quantum that holds the capture's last sample posts the silence.
  assert.ok(frames >= native.length / 2 && frames < native.length / 2 + 128, `silent after ${frames} frames`);

  const syncs = posted.filter((message) => message.cmd === 'sync').map(({ sample, value }) => [sample, value]);
  const listed = run(path.join(build, 'tarvola-capture'), ['--list-syncs']).trim().split('\n')
      .map((line) => line.match(/ sample +(\d+) +value (\d+) /).slice(1).map(Number));
  assert.deepEqual(syncs, listed);
  fs.writeFileSync(syncFile, syncs.map((s) => s.join(' ')).join('\n') + '\n');
});

test('the fast kernels equal their plain forms on every path of the web build', () => {
  const out = run('node', [path.join(root, 'build-web/tarvola-web-tests.js'), '--gtest_brief=1']);
  assert.match(out, /\[  PASSED  \] \d+ tests\./);
});

test('stepped at 60 fps the web build renders the native frames', () => {
  // The middle of every scene and the first frame of every window in which a sync's effect
  // shows, as the native tool lists them.
  const windows = run(path.join(build, 'tarvola-capture'), ['--list-sync-windows']).trim().split('\n')
      .map((line) => line.match(/ ([0-9.]+) s - /)[1]);
  const times = [...new Set([...slots.map(([from, to]) => String((from + to) / 2)), ...windows])].join(',');
  run(path.join(build, 'tarvola-capture'), ['--no-progress', '--fps', '60', '--png', tmp, '--frames-at', times]);
  run('node', [path.join(root, 'build-web/tarvola-web-stepped.js'), '60', syncFile, tmp, times]);
  for (const time of times.split(',')) {
    const signature = (file) => run('identify', ['-format', '%#', path.join(tmp, file)]);
    assert.equal(signature(`frame-at-${time}.ppm`), signature(`frame-at-${time}.png`), `frame at ${time} s`);
  }
});

// The page's picture in a 1280 x 720 screenshot: the 4:3 canvas is 960 x 720 from x = 160, each
// canvas pixel a block of 3 x 3. Resolves to the canvas's 320 x 240 RGB bytes and the count of
// pixels beside it that are not black.
async function screenPicture(page) {
  const shot = path.join(tmp, 'shot.png');
  await page.screenshot({ path: shot });
  const rgb = execFileSync('convert', [shot, 'rgb:-'], { maxBuffer: 1 << 24 });
  const picture = Buffer.alloc(320 * 240 * 3);
  let barNotBlack = 0;
  for (let y = 0; y < 720; ++y) {
    for (let x = 0; x < 1280; ++x) {
      const i = 3 * (y * 1280 + x);
      if (x < 160 || x >= 1120) barNotBlack += (rgb[i] | rgb[i + 1] | rgb[i + 2]) !== 0;
      else if ((x - 160) % 3 === 1 && y % 3 === 1) rgb.copy(picture, 3 * ((y - 1) / 3 * 320 + (x - 161) / 3), i, i + 3);
    }
  }
  return { picture, barNotBlack };
}

// Every scene's middle: black bars and a live picture between them.
const middles = slots.map(([from, to]) => (from + to) / 2);
const checkMiddle = (time) => [time, async (page) => {
  const { picture, barNotBlack } = await screenPicture(page);
  const colours = new Set();
  for (let i = 0; i < picture.length; i += 3) colours.add(picture.readUIntBE(i, 3));
  assert.equal(barNotBlack, 0, `bars at ${time} s`);
  assert.ok(colours.size > 50, `a live picture at ${time} s (${colours.size} colours)`);
}];

test('either canvas shows the loading picture exactly, after the warning',  { timeout: 120000 }, async () => {
  const loading = execFileSync('convert', [path.join(build, 'data/loading.tga'), '-auto-orient', '-alpha', 'off', 'rgb:-'],
                               { maxBuffer: 1 << 24 });
  for (const [query, canvas] of [['', '2d'], ['?canvas=webgl', 'webgl']]) {
    const browser = await launchBrowser();
    try {
      const page = browser.pages()[0] ?? await browser.newPage();
      await page.goto(pageUrl + query);
      await page.waitForFunction(() => document.getElementById('start').textContent.startsWith('click'), null, { timeout: 60000 });
      assert.ok(await page.isVisible('#warning'), 'the photosensitivity warning shows before the click');
      await page.click('#start');
      await page.waitForFunction(() => window.tarvolaCanvas !== undefined);
      await page.waitForTimeout(300);  // the loading picture stays two seconds
      assert.equal(await page.evaluate(() => window.tarvolaCanvas), canvas);
      const { picture } = await screenPicture(page);
      assert.ok(picture.equals(loading), `the ${canvas} canvas's loading picture`);
    } finally {
      await browser.close();
    }
  }
});

test('the page plays every scene in headless Chromium and Escape ends it', { timeout: 300000 }, async () => {
  const browser = await launchBrowser();
  try {
    const { page, errors, stats } = await playPage(browser, pageUrl, { until: middles.at(-1), atTime: middles.map(checkMiddle) });
    console.log(figuresTable(sceneFigures(stats, slots), 1));
    assert.ok(stats.every(([, , interval]) => interval > 0), 'each frame begins on a later refresh than the one before');
    assert.ok(await page.evaluate(() => window.tarvolaSyncs) > 0, 'the music raised syncs');
    await page.keyboard.press('Escape');
    await page.waitForFunction(() => window.tarvolaEnded === true, null, { timeout: 10000 });
    assert.equal(await page.evaluate(() => window.tarvolaMusicFaded), true, 'the worklet reported the fade\'s end');
    assert.deepEqual(errors, []);
  } finally {
    await browser.close();
  }
});

// A slower device: the whole programme with the CPU slowed four times (a mid-range phone) and six
// times (a low-end one). The frame figures are printed, not judged; a scene with no frame or a
// broken picture fails.
for (const rate of [4, 6]) {
  test(`the page plays the whole programme with the CPU slowed ${rate} times`, { timeout: 600000 }, async () => {
    const browser = await launchBrowser();
    try {
      const { errors, stats } = await playPage(browser, pageUrl, { rate, atTime: middles.map(checkMiddle) });
      const figures = sceneFigures(stats, slots);
      console.log(figuresTable(figures, rate));
      figures.forEach((f, scene) => assert.ok(f.frames > 0, `scene ${scene + 1} shown`));
      assert.deepEqual(errors, []);
    } finally {
      await browser.close();
    }
  });
}
