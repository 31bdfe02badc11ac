// The page's AudioWorklet processor, appended to the music engine compiled to WebAssembly
// (src/platform/web/worklet_music.cpp, linked with libopenmpt): it moves the engine's samples
// to the output and its syncs to the page. Messages in: {cmd: 'load', bytes}, {cmd: 'play',
// atFrame} (music sample s sounds at context frame atFrame + s; a start that comes late catches
// up by pulling and dropping the samples already due), {cmd: 'fade'}. Out: {cmd: 'loaded', ok},
// {cmd: 'sync', sample, value} for every sync as the engine finds it, {cmd: 'silent'} once the
// fade has ended.

class MusicProcessor extends AudioWorkletProcessor {
  constructor() {
    super();
    this.music = _tarvolaMusicCreate();  // the engine, this processor's for its life
    this.loaded = false;
    this.atFrame = -1;   // context frame of music sample 0; -1 before play
    this.pulled = 0;     // music frames pulled
    this.silent = false;
    this.port.onmessage = (event) => this.receive(event.data);
  }

  receive(message) {
    if (message.cmd === 'load') {
      const bytes = _malloc(message.bytes.length);
      HEAPU8.set(message.bytes, bytes);
      this.loaded = _tarvolaMusicLoad(this.music, bytes, message.bytes.length) === 1;
      _free(bytes);
      this.port.postMessage({ cmd: 'loaded', ok: this.loaded });
    } else if (message.cmd === 'play') {
      this.atFrame = message.atFrame;
    } else if (message.cmd === 'fade') {
      if (!this.loaded || this.atFrame < 0) this.finish();
      else _tarvolaMusicFade(this.music);
    }
  }

  finish() {
    if (!this.silent) this.port.postMessage({ cmd: 'silent' });
    this.silent = true;
  }

  // The engine's next `frames` frames (at most its largest pull): the index of the first float in
  // HEAPF32, interleaved stereo. Posts the syncs found on the way.
  pull(frames) {
    const at = _tarvolaMusicPull(this.music, frames) >> 2;
    this.pulled += frames;
    const count = _tarvolaMusicSyncCount(this.music);
    for (let i = 0; i < count; ++i) {
      const sample = _tarvolaMusicSyncSample(this.music, i), value = _tarvolaMusicSyncValue(this.music, i);
      this.port.postMessage({ cmd: 'sync', sample, value });
    }
    if (count > 0) _tarvolaMusicDropSyncs(this.music);
    if (_tarvolaMusicStopped(this.music) === 1) this.finish();
    return at;
  }

  process(inputs, outputs) {
    const out = outputs[0];
    if (!this.loaded || this.atFrame < 0 || this.silent) return true;
    const n = out[0].length;
    const first = currentFrame - this.atFrame;  // the music sample due at this quantum's start
    const lead = Math.min(n, Math.max(0, -first));
    for (let behind = first - this.pulled; behind > 0;) {  // started late: catch up
      const piece = Math.min(behind, _tarvolaMusicMaxPull());
      this.pull(piece);
      behind -= piece;
    }
    if (lead === n) return true;
    const at = this.pull(n - lead);
    for (let i = 0; i < n - lead; ++i) {
      out[0][lead + i] = HEAPF32[at + 2 * i];
      if (out[1]) out[1][lead + i] = HEAPF32[at + 2 * i + 1];
    }
    return true;
  }
}

registerProcessor('tarvola-music', MusicProcessor);
