// The demo's music as the native player makes it, over libopenmpt compiled to WebAssembly
// (chiptune3's build, its C API): the module rendered at 44100 Hz stereo float, looping; every
// sync effect (S2x, x = value) reported with the first sample of its row, found exactly by
// rendering 1-sample pieces only around the rows that may lead into a sync row and pieces of
// 256 elsewhere (shorter than any row, so no row is missed); then a linear-interpolating
// resampler that carries the closing rate slide, and the volume slide. Shared by the page's
// AudioWorklet and the tests in node.

export const kSampleRate = 44100;
const kBigPiece = 256;
const kCommandEffect = 3;      // OPENMPT_MODULE_COMMAND_EFFECT
const kCommandParameter = 5;   // OPENMPT_MODULE_COMMAND_PARAMETER
const kEffectPositionJump = 12, kEffectPatternBreak = 14, kEffectExtended = 20;  // S; SBx loops
const kHoldsSync = 1, kLeavesOrder = 2;

const isSyncEffect = (effect, parameter) => effect === kEffectExtended && (parameter & 0xf0) === 0x20;

export class ModulePlayer {
  constructor(lib) {
    this.lib = lib;
    this.module = 0;
    this.piece = lib._malloc(8 * kBigPiece);  // one piece of interleaved stereo float
    this.frame = 0;                           // module frames rendered
    this.lastOrder = -1; this.lastRow = -1; this.lastPattern = -1;
    // The resampler's source: frame 0 is the previous piece's last frame.
    this.source = new Float32Array(2 * (kBigPiece + 1));
    this.sourceFrames = 0; this.position = 0;
    this.rate = { value: kSampleRate, target: kSampleRate, step: 0, remaining: 0 };
    this.volume = { value: 1, target: 1, step: 0, remaining: 0 };
    this.stopAfterVolume = false; this.stopped = false;
  }

  // False (and silent) when libopenmpt does not take the bytes as a module.
  load(bytes) {
    const lib = this.lib;
    const data = lib._malloc(bytes.length);
    lib.HEAPU8.set(bytes, data);
    this.module = lib._openmpt_module_create_from_memory(data, bytes.length, 0, 0, 0);
    lib._free(data);
    if (!this.module) return false;
    lib._openmpt_module_set_repeat_count(this.module, -1);
    this.channels = lib._openmpt_module_get_num_channels(this.module);
    this.rowFlags = [];
    for (let p = 0; p < lib._openmpt_module_get_num_patterns(this.module); ++p) {
      const rows = lib._openmpt_module_get_pattern_num_rows(this.module, p);
      const flags = new Uint8Array(Math.max(rows, 0));
      for (let r = 0; r < rows; ++r) {
        for (let c = 0; c < this.channels; ++c) {
          const effect = this.command(p, r, c, kCommandEffect), parameter = this.command(p, r, c, kCommandParameter);
          if (isSyncEffect(effect, parameter)) flags[r] |= kHoldsSync;
          if (effect === kEffectPositionJump || effect === kEffectPatternBreak ||
              (effect === kEffectExtended && (parameter & 0xf0) === 0xb0)) flags[r] |= kLeavesOrder;
        }
      }
      if (rows > 0) flags[rows - 1] |= kLeavesOrder;
      this.rowFlags.push(flags);
    }
    return true;
  }

  command(pattern, row, channel, which) {
    return this.lib._openmpt_module_get_pattern_row_channel_command(this.module, pattern, row, channel, which) & 0xff;
  }

  // True when the row after the current one may hold a sync.
  nearSyncRow() {
    const flags = this.rowFlags[this.lastPattern];
    if (!flags || this.lastRow < 0 || this.lastRow >= flags.length || (flags[this.lastRow] & kLeavesOrder)) return true;
    return this.lastRow + 1 < flags.length && (flags[this.lastRow + 1] & kHoldsSync) !== 0;
  }

  // Renders `frames` module frames into out[at..] (interleaved) and calls onSync(sample, value)
  // for every sync of every row entered, in channel order.
  renderModule(out, at, frames, onSync) {
    const lib = this.lib;
    if (!this.module) { out.fill(0, 2 * at, 2 * (at + frames)); return; }
    for (let done = 0; done < frames;) {
      const piece = Math.min(this.nearSyncRow() ? 1 : kBigPiece, frames - done);
      const got = lib._openmpt_module_read_interleaved_float_stereo(this.module, kSampleRate, piece, this.piece);
      const heap = lib.HEAPF32.subarray(this.piece >> 2, (this.piece >> 2) + 2 * got);
      out.set(heap, 2 * (at + done));
      out.fill(0, 2 * (at + done + got), 2 * (at + done + piece));
      const order = lib._openmpt_module_get_current_order(this.module);
      const row = lib._openmpt_module_get_current_row(this.module);
      if (order !== this.lastOrder || row !== this.lastRow) {
        this.lastOrder = order; this.lastRow = row;
        this.lastPattern = lib._openmpt_module_get_current_pattern(this.module);
        const flags = this.rowFlags[this.lastPattern];
        if (flags && row >= 0 && row < flags.length && (flags[row] & kHoldsSync)) {
          for (let c = 0; c < this.channels; ++c) {
            const parameter = this.command(this.lastPattern, row, c, kCommandParameter);
            if (isSyncEffect(this.command(this.lastPattern, row, c, kCommandEffect), parameter)) onSync(this.frame, parameter & 0x0f);
          }
        }
      }
      this.frame += piece;
      done += piece;
    }
  }

  // Fills `frames` output frames (interleaved) through the resampler and the volume; silence
  // after the fade has ended.
  pull(out, frames, onSync) {
    for (let i = 0; i < frames; ++i) {
      if (this.stopped) { out.fill(0, 2 * i, 2 * frames); return; }
      while (this.sourceFrames === 0 || Math.trunc(this.position) + 1 >= this.sourceFrames) this.refill(onSync);
      const index = Math.trunc(this.position);
      const fraction = Math.fround(this.position - index);
      const a = this.source, gain = Math.fround(this.volume.value);
      out[2 * i] = (a[2 * index] + (a[2 * index + 2] - a[2 * index]) * fraction) * gain;
      out[2 * i + 1] = (a[2 * index + 1] + (a[2 * index + 3] - a[2 * index + 1]) * fraction) * gain;
      this.position += this.rate.value / kSampleRate;
      advance(this.rate);
      const volumeWasSliding = this.volume.remaining > 0;
      advance(this.volume);
      if (volumeWasSliding && this.volume.remaining === 0 && this.stopAfterVolume) this.stop();
    }
  }

  refill(onSync) {
    let keep = 0;
    if (this.sourceFrames > 0) {
      this.source[0] = this.source[2 * (this.sourceFrames - 1)];
      this.source[1] = this.source[2 * (this.sourceFrames - 1) + 1];
      this.position -= this.sourceFrames - 1;
      keep = 1;
    }
    this.renderModule(this.source, keep, kBigPiece, onSync);
    this.sourceFrames = keep + kBigPiece;
  }

  // The closing slides: rate to `hz` over `rateMs`; volume to silence over `volumeMs`, then stop.
  slideRate(hz, rateMs) { start(this.rate, Math.max(hz, 1), rateMs); }
  slideVolumeToSilenceAndStop(volumeMs) {
    start(this.volume, 0, volumeMs);
    this.stopAfterVolume = true;
    if (this.volume.remaining === 0) this.stop();
  }
  stop() { this.stopped = true; this.rate.remaining = 0; this.volume.remaining = 0; }
}

// One linear slide: equal steps, one per output frame, landing exactly on the target.
function start(slide, to, milliseconds) {
  slide.target = to;
  slide.remaining = Math.floor(Math.max(milliseconds, 0) * kSampleRate / 1000);
  if (slide.remaining === 0) { slide.value = to; slide.step = 0; } else slide.step = (to - slide.value) / slide.remaining;
}
function advance(slide) {
  if (slide.remaining <= 0) return;
  --slide.remaining;
  slide.value = slide.remaining === 0 ? slide.target : slide.value + slide.step;
}
