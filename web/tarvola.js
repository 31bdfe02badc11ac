// The page's side of the web host (src/platform/web): loading and "click to start" above the
// photosensitivity warning, the audio context and its music worklet, the audio output clock the
// frame clock reads, the queue of the music's syncs, the canvas (2D, or WebGL where the address
// asks for ?canvas=webgl), full screen, messages and the end screen. Frame times measured in the
// page go to window.tarvolaStats: [demo seconds, work ms, ms from the previous frame's refresh
// to this one's (the animation frames' own times: over 16.7 a refresh went by without a new
// picture), ms of the work in the present]; window.tarvolaCanvas names the canvas's way ('2d'
// or 'webgl'), window.tarvolaSyncs counts the syncs raised, window.tarvolaMusicFaded turns true
// when the worklet reports the end of its fade, window.tarvolaEnded at the end.
'use strict';

let sampleRate = 0;      // the music's, told by the demo's module once it runs
const startBox = document.getElementById('start');     // the status line and the photosensitivity warning
const statusBox = document.getElementById('status');
const canvas = document.getElementById('screen');
let screen = null;       // { bgrx, draw(bytes) }, made when the demo opens its display
let screenBytes = null;  // the view on the picture's bytes that draw() was last given
let audio = null;        // AudioContext, or null when the page runs silent
let music = null;        // AudioWorkletNode
let atFrame = -1;        // context frame of music sample 0
let startMicros = 0;     // clock reading at music start
let lastMicros = 0;
let silent = false;
const syncs = [];        // {frame, value}, in order
let frameStart = 0, presentStart = 0;
// The animation frame's time (its refresh) of the frame being drawn, and of the one before; 0
// where the frame began after a pause rather than on an animation frame.
let frameTime = 0, lastFrameTime = 0;
window.tarvolaStats = [];

let clockOffset = 0;      // audio seconds minus performance seconds at the last audio reading

// The audio output clock while the context runs; the performance clock carries on from it
// otherwise (no audio, or a suspended context), so the frame clock's wait for a new reading
// never waits for sound that does not come.
function clockMicros() {
  const now = performance.now() / 1000;
  let seconds = now + clockOffset;
  if (audio && audio.state === 'running') {
    // The context time being heard now: the output timestamp moved on by the time since it.
    const stamp = audio.getOutputTimestamp();
    seconds = stamp.performanceTime > 0
        ? Math.min(stamp.contextTime + (now - stamp.performanceTime / 1000), audio.currentTime)
        : audio.currentTime;
    clockOffset = seconds - now;
  }
  lastMicros = Math.floor(seconds * 1e6);
  return lastMicros;
}

// The canvas's two ways to show a picture of width x height, each copying the bytes once.
// 2D: R, G, B, A bytes through an ImageData over the same memory (made again only if that
// memory moves). WebGL: the framebuffer's own bytes (B, G, R, X) go into a texture as they are,
// and the shader reads them back as blue, green, red, one texel per canvas pixel.
// 2D is the default. In Chromium drawing without a GPU, the browser's own work on the page's
// main thread (beside the demo's) came to about 3.4 ms a frame with WebGL and 0.6 ms with
// putImageData, and a slow device's frame has no such time to spare.
function webglScreen(width, height) {
  const gl = canvas.getContext('webgl', { alpha: false, antialias: false, depth: false, stencil: false });
  if (!gl) return null;
  const shader = (type, text) => {
    const made = gl.createShader(type);
    gl.shaderSource(made, text);
    gl.compileShader(made);
    return made;
  };
  const program = gl.createProgram();
  gl.attachShader(program, shader(gl.VERTEX_SHADER,
      'attribute vec2 p; varying vec2 uv;' +
      'void main() { uv = vec2(0.5 + 0.5 * p.x, 0.5 - 0.5 * p.y); gl_Position = vec4(p, 0.0, 1.0); }'));
  gl.attachShader(program, shader(gl.FRAGMENT_SHADER,
      '#ifdef GL_FRAGMENT_PRECISION_HIGH\nprecision highp float;\n#else\nprecision mediump float;\n#endif\n' +
      'uniform sampler2D picture; varying vec2 uv;' +
      'void main() { gl_FragColor = vec4(texture2D(picture, uv).bgr, 1.0); }'));
  gl.linkProgram(program);
  if (!gl.getProgramParameter(program, gl.LINK_STATUS)) return null;
  gl.useProgram(program);
  // One triangle over the whole canvas; row 0 of the texture at the top.
  gl.bindBuffer(gl.ARRAY_BUFFER, gl.createBuffer());
  gl.bufferData(gl.ARRAY_BUFFER, new Float32Array([-1, -1, 3, -1, -1, 3]), gl.STATIC_DRAW);
  const corner = gl.getAttribLocation(program, 'p');
  gl.enableVertexAttribArray(corner);
  gl.vertexAttribPointer(corner, 2, gl.FLOAT, false, 0, 0);
  gl.bindTexture(gl.TEXTURE_2D, gl.createTexture());
  for (const parameter of [gl.TEXTURE_MIN_FILTER, gl.TEXTURE_MAG_FILTER]) gl.texParameteri(gl.TEXTURE_2D, parameter, gl.NEAREST);
  for (const parameter of [gl.TEXTURE_WRAP_S, gl.TEXTURE_WRAP_T]) gl.texParameteri(gl.TEXTURE_2D, parameter, gl.CLAMP_TO_EDGE);
  gl.texImage2D(gl.TEXTURE_2D, 0, gl.RGBA, width, height, 0, gl.RGBA, gl.UNSIGNED_BYTE, null);
  gl.viewport(0, 0, width, height);
  return {
    bgrx: true,
    draw(bytes) {
      gl.texSubImage2D(gl.TEXTURE_2D, 0, 0, 0, width, height, gl.RGBA, gl.UNSIGNED_BYTE, bytes);
      gl.drawArrays(gl.TRIANGLES, 0, 3);
    },
  };
}

function canvas2dScreen(width, height) {
  const picture = canvas.getContext('2d', { alpha: false });
  if (!picture) return null;
  let image = null;
  return {
    bgrx: false,
    draw(bytes) {
      if (!image || image.data.buffer !== bytes.buffer || image.data.byteOffset !== bytes.byteOffset)
        image = new ImageData(new Uint8ClampedArray(bytes.buffer, bytes.byteOffset, bytes.length), width, height);
      picture.putImageData(image, 0, 0);
    },
  };
}

var Module = {
  noInitialRun: true,
  print: (text) => console.log(text),
  printErr: (text) => console.error(text),
  setStatus: (text) => { if (text) statusBox.textContent = text.replace(/\(.*\)/, '').trim() || 'loading\u2026'; },
  onRuntimeInitialized() {
    sampleRate = Module._tarvolaSampleRate();
    statusBox.innerHTML = 'click to start<small>F or a double click: full screen &middot; Escape ends it</small>';
    startBox.addEventListener('click', start, { once: true });
  },
  tarvolaWeb: {
    clockMicros,
    // The value of the next sync whose sample the reading reaches, else -1.
    nextSync(reachedMicros) {
      if (syncs.length === 0 || syncs[0].frame > Math.floor(reachedMicros * sampleRate / 1e6)) return -1;
      window.tarvolaSyncs = (window.tarvolaSyncs || 0) + 1;
      return syncs.shift().value;
    },
    // True when the canvas takes the framebuffer's B, G, R, X bytes, false for R, G, B, A.
    openScreen(width, height) {
      const ways = new URLSearchParams(location.search).get('canvas') === 'webgl'
          ? [webglScreen, canvas2dScreen] : [canvas2dScreen, webglScreen];
      screen = ways[0](width, height) ?? ways[1](width, height);
      if (!screen) console.error('tarvola: the canvas has neither a 2D nor a WebGL context; nothing can be shown');
      window.tarvolaCanvas = screen ? (screen.bgrx ? 'webgl' : '2d') : 'none';
      return screen?.bgrx ?? false;
    },
    // The picture's bytes [at, at + length) of the module's memory; the view on them is made
    // again only when that memory moves (it grew).
    draw(heap, at, length) {
      if (!screenBytes || screenBytes.buffer !== heap.buffer || screenBytes.byteOffset !== at)
        screenBytes = new Uint8Array(heap.buffer, at, length);
      screen?.draw(screenBytes);
    },
    frameBegins() { frameStart = performance.now(); },
    presentBegins() { presentStart = performance.now(); },
    // The time an animation frame passes its callback: the refresh it was begun for. Intervals
    // between these are the picture's cadence; the end of each frame's work moves with the
    // main thread's other tasks (and a slowed CPU's pauses) even when no refresh is missed.
    frameStarts(time) { frameTime = time; },
    frameDone() {
      const now = performance.now(), started = frameTime;
      frameTime = 0;
      if (atFrame >= 0 && started > 0 && lastFrameTime > 0) {
        window.tarvolaStats.push([(lastMicros - startMicros) / 1e6, now - frameStart, started - lastFrameTime,
                                  now - presentStart]);
      }
      lastFrameTime = atFrame >= 0 ? started : 0;
    },
    loadMusic(bytes) { if (music) music.port.postMessage({ cmd: 'load', bytes }, [bytes.buffer]); },
    startMusic(micros) {
      startMicros = micros;
      frameTime = 0;  // the first frame begins after the pause before the music
      atFrame = Math.round(micros * sampleRate / 1e6);
      if (music) music.port.postMessage({ cmd: 'play', atFrame });
    },
    fadeOutMusic() { if (music) music.port.postMessage({ cmd: 'fade' }); else silent = true; },
    musicSilent: () => silent,
    showEnd() {
      canvas.hidden = true;
      document.getElementById('end').hidden = false;
      if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
      if (audio) audio.close();
      window.tarvolaEnded = true;
    },
    showMessage(caption, text) {
      console.error('tarvola: ' + caption + ' ' + text);
      const box = document.createElement('div');
      box.textContent = caption + ' ' + text;
      box.onclick = () => box.remove();
      document.getElementById('messages').appendChild(box);
    },
  },
};

async function start() {
  statusBox.textContent = '';
  try {
    audio = new AudioContext({ sampleRate, latencyHint: 'interactive' });
    await audio.audioWorklet.addModule('music_worklet.js');
    music = new AudioWorkletNode(audio, 'tarvola-music', { numberOfInputs: 0, outputChannelCount: [2] });
    music.port.onmessage = (event) => {
      const message = event.data;
      if (message.cmd === 'sync') syncs.push({ frame: atFrame + message.sample, value: message.value });
      else if (message.cmd === 'silent') silent = window.tarvolaMusicFaded = true;
    };
    music.connect(audio.destination);
    await audio.resume();
  } catch (error) {
    console.error('tarvola: no audio worklet, the demo plays silent:', error);
    audio = null;
    music = null;
  }
  startBox.hidden = true;
  Module.callMain([]);
}

function toggleFullscreen() {
  if (document.fullscreenElement) return;  // leaving full screen ends the run: Escape does it
  document.getElementById('stage').requestFullscreen().catch((error) => console.error(error));
}
document.addEventListener('keydown', (event) => { if (event.key === 'f' || event.key === 'F') toggleFullscreen(); });
document.getElementById('stage').addEventListener('dblclick', toggleFullscreen);
