// The page's AudioWorklet: plays the demo's module through ModulePlayer and posts every sync
// with its sample. Messages in: {cmd: 'load', bytes}, {cmd: 'play', atFrame} (music sample s
// sounds at context frame atFrame + s; rendering that starts late catches up by rendering
// and dropping the samples already due), {cmd: 'fade'} (rate 44100 -> 1000 Hz over 500 ms;
// after 300 ms volume to silence over 200 ms). Out: {cmd: 'sync', sample, value},
// {cmd: 'loaded', ok}, {cmd: 'silent'} once the fade has ended.
import libopenmptReady from './libopenmpt.worklet.js';
import { ModulePlayer, kSampleRate } from './module_player.js';

const kFadeRateHz = 1000, kFadeRateMs = 500, kFadeVolumeAfterMs = 300, kFadeVolumeMs = 200;

let lib = null;
const libReady = libopenmptReady().then((module) => { lib = module; });

class MusicProcessor extends AudioWorkletProcessor {
  constructor() {
    super();
    this.player = null;
    this.atFrame = -1;        // context frame of music sample 0; -1 before play
    this.rendered = 0;        // music samples rendered
    this.fadeVolumeAt = -1;   // output frames until the volume slide starts
    this.silent = false;
    this.scratch = new Float32Array(2 * 4096);
    this.onSync = (sample, value) => this.port.postMessage({ cmd: 'sync', sample, value });
    this.port.onmessage = (event) => this.receive(event.data);
  }

  async receive(message) {
    if (message.cmd === 'load') {
      await libReady;
      const player = new ModulePlayer(lib);
      const ok = player.load(message.bytes);
      if (ok) this.player = player;
      this.port.postMessage({ cmd: 'loaded', ok });
    } else if (message.cmd === 'play') {
      this.atFrame = message.atFrame;
    } else if (message.cmd === 'fade') {
      if (!this.player || this.atFrame < 0) { this.finish(); return; }
      this.player.slideRate(kFadeRateHz, kFadeRateMs);
      this.fadeVolumeAt = Math.floor(kFadeVolumeAfterMs * kSampleRate / 1000);
    }
  }

  finish() {
    if (!this.silent) this.port.postMessage({ cmd: 'silent' });
    this.silent = true;
  }

  // Renders `frames` samples into the scratch buffer, the volume slide starting on its frame.
  render(frames) {
    let done = 0;
    while (done < frames) {
      let piece = frames - done;
      if (this.fadeVolumeAt > 0) piece = Math.min(piece, this.fadeVolumeAt);
      this.player.pull(this.scratch.subarray(2 * done), piece, this.onSync);
      done += piece;
      if (this.fadeVolumeAt > 0 && (this.fadeVolumeAt -= piece) === 0) {
        this.player.slideVolumeToSilenceAndStop(kFadeVolumeMs);
      }
    }
    this.rendered += frames;
    if (this.player.stopped) this.finish();
  }

  process(inputs, outputs) {
    const out = outputs[0];
    if (!this.player || this.atFrame < 0 || this.silent) return true;
    const n = out[0].length;
    const first = currentFrame - this.atFrame;  // the music sample due at this quantum's start
    const lead = Math.min(n, Math.max(0, -first));
    for (let behind = first - this.rendered; behind > 0;) {  // started late: catch up
      const piece = Math.min(behind, this.scratch.length / 2);
      this.render(piece);
      behind -= piece;
    }
    if (lead === n) return true;
    this.render(n - lead);
    for (let i = 0; i < n - lead; ++i) {
      out[0][lead + i] = this.scratch[2 * i];
      if (out[1]) out[1][lead + i] = this.scratch[2 * i + 1];
    }
    return true;
  }
}

registerProcessor('tarvola-music', MusicProcessor);
