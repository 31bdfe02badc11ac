// The score of "kyr.it": a piece in A minor at 120 beats per minute (tempo 120, speed 6: a row
// is 0.125 s, a beat 4 rows, a bar 16), arranged to the demo's scenes. It is written row by row
// into one long song grid, then cut into patterns. Sections start on the scene cuts (8.5, 44.5,
// 80, 94, 124, 166 s); where a cut falls inside a bar the odd beats are a pick-up fill.
//
// Material: three progressions (Am F C G; F G Em Am; the falling Am G F E), two themes (A over
// the first, B over the third), a stop with a riser before the metaballs where theme A enters on
// the cut, a breakdown with a riser before the finale, and in the finale a lift to B minor with
// a counter-melody over theme A. The lead glides (tone portamento) and sings with vibrato, an
// echo channel repeats it a dotted eighth later on the other side, the bass slides its octaves.
#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <functional>

#include "datagen.h"
#include "music.h"

namespace tarvola::datagen {

namespace {

// The pad has two banks of three channels: a new chord swells in on one while the last one is
// released on the other.
enum Channel : int {
  kKickCh,
  kSnareCh,
  kHatCh,
  kCrashCh,
  kBassCh,
  kPadBank0,
  kPadBank1 = kPadBank0 + 3,
  kLeadCh = kPadBank1 + 3,
  kArpCh,
  kEchoCh,
  kSyncCh,
  kConductorCh,
  kChannelCount
};

constexpr int kBar = 16;
constexpr int kSongRows = 1424;  // 178 s
constexpr int kEchoDelay = 3;    // rows: a dotted eighth

struct Chord {
  int root;  // semitone, C = 0
  bool minor;
};
constexpr Chord kAm{9, true}, kF{5, false}, kC{0, false}, kG{7, false}, kDm{2, true}, kE{4, false}, kEm{4, true};

struct Song {
  int padBank = 0;  // bank holding the chord now sounding
  bool padSounding = false;
  std::vector<ItCell> cells = std::vector<ItCell>(static_cast<size_t>(kSongRows) * kChannelCount);
  ItCell& at(int row, int channel) { return cells[static_cast<size_t>(row) * kChannelCount + channel]; }
  void note(int row, int channel, int note, uint8_t sample, int volume) {
    ItCell& cell = at(row, channel);
    cell.hasNote = true;
    cell.note = static_cast<uint8_t>(note);
    cell.sample = sample;
    cell.hasVolume = true;
    cell.volume = static_cast<uint8_t>(volume);
  }
  void stop(int row, int channel, uint8_t how = kNoteOff) {  // keeps the cell's effect
    ItCell& cell = at(row, channel);
    cell.hasNote = true;
    cell.note = how;
    cell.sample = 0;
    cell.hasVolume = false;
  }
  void effect(int row, int channel, uint8_t effect, uint8_t parameter) {
    at(row, channel).effect = effect;
    at(row, channel).parameter = parameter;
  }
  void sync(int row, int value) {
    ItCell& cell = at(row, kSyncCh);
    cell.effect = kEffectS;
    cell.parameter = static_cast<uint8_t>(0x20 | value);
  }
};

Chord lifted(Chord chord, int semitones) { return {(chord.root + semitones) % 12, chord.minor}; }

// Chord tones placed in [low, low + 12).
std::array<int, 3> voicing(Chord chord, int low) {
  const int tones[3] = {chord.root, chord.root + (chord.minor ? 3 : 4), chord.root + 7};
  std::array<int, 3> notes{};
  for (int i = 0; i < 3; ++i) {
    int n = tones[i] % 12;
    while (n < low) n += 12;
    notes[i] = n;
  }
  return notes;
}

// E-3 .. D#4, 82 to 156 Hz: an octave above the kick's 52 Hz tail.
int bassNote(Chord chord) { return 40 + (chord.root + 8) % 12; }

// How one bar of a section is played.
struct Style {
  int kick = 0;   // 0 none, 1 half time (1 and 3, a push before 3), 2 four on the floor
  int snare = 0;  // 0 none, 1 beat 4 only, 2 beats 2 and 4, 3 with ghost notes
  int hats = 0;   // 0 none, 1 offbeat eighths, 2 sixteenths, 3 open offbeats over sixteenths
  int bass = 0;   // 0 none, 1 held, 2 eighths, 3 syncopated sixteenths, 4 rolling offbeats
  int pad = 0;    // volume, 0 = silent
  int arp = 0;    // volume, 0 = silent
  bool arpEighths = false;
  bool counter = false;  // the arpeggio channel plays the counter-melody instead
  int lead = 0;          // volume, 0 = silent
  int theme = 0;         // 0 theme A, 1 theme B
  int phraseBar = 0;     // bar within the theme's eight
  int lift = 0;          // semitones the whole bar is raised by
};

// The lead's themes, eight bars each, as (row in bar, note) per bar; -1 releases the note.
struct MelodyNote {
  int row;
  int note;
};
struct Theme {
  std::vector<MelodyNote> bars[8];
  Chord chords[4];
};
const Theme kThemes[2] = {
    {{{{0, 69}, {4, 72}, {6, 76}, {8, 74}, {12, 72}},
      {{0, 72}, {6, 69}, {8, 77}, {12, 76}},
      {{0, 76}, {4, 79}, {8, 76}, {10, 74}, {12, 72}},
      {{0, 71}, {4, 74}, {8, 79}, {14, -1}},
      {{0, 76}, {2, 81}, {8, 79}, {12, 76}},
      {{0, 77}, {4, 76}, {6, 72}, {8, 69}, {14, -1}},
      {{0, 67}, {4, 72}, {8, 76}, {12, 79}},
      {{0, 74}, {8, 71}, {12, 67}, {15, -1}}},
     {kAm, kF, kC, kG}},
    {{{{0, 81}, {4, 84}, {6, 83}, {8, 81}, {12, 76}},
      {{0, 79}, {4, 83}, {8, 86}, {12, 83}, {14, 81}},
      {{0, 77}, {4, 81}, {6, 84}, {8, 81}, {10, 79}, {12, 77}},
      {{0, 76}, {4, 80}, {8, 83}, {14, -1}},
      {{0, 84}, {2, 83}, {4, 81}, {8, 76}, {12, 81}},
      {{0, 83}, {4, 79}, {8, 74}, {12, 79}},
      {{0, 81}, {4, 77}, {8, 72}, {12, 77}},
      {{0, 80}, {4, 76}, {6, 80}, {8, 83}, {14, -1}}},
     {kAm, kG, kF, kE}},
};

bool sameChord(Chord a, Chord b) { return a.root == b.root && a.minor == b.minor; }

// One bar being written: the notes of its first `length` rows go in from row `start` on.
struct BarWriter {
  Song& song;
  int start;
  int length;
  void put(int row, int channel, int note, uint8_t sample, int volume) const {
    if (row < length) song.note(start + row, channel, note, sample, volume);
  }
};

void playDrums(const BarWriter& bar, const Style& style) {
  if (style.kick == 1) {
    bar.put(0, kKickCh, kDrumNote, kKick, 50);
    bar.put(7, kKickCh, kDrumNote, kKick, 32);
    bar.put(8, kKickCh, kDrumNote, kKick, 46);
  } else if (style.kick == 2) {
    for (int beat = 0; beat < 4; ++beat) bar.put(4 * beat, kKickCh, kDrumNote, kKick, 48);
  }
  if (style.snare == 1) bar.put(12, kSnareCh, kDrumNote, kSnare, 60);
  if (style.snare >= 2) {
    bar.put(4, kSnareCh, kDrumNote, kSnare, 64);
    bar.put(12, kSnareCh, kDrumNote, kSnare, 64);
  }
  if (style.snare == 3) {
    bar.put(7, kSnareCh, kDrumNote, kSnare, 20);
    bar.put(14, kSnareCh, kDrumNote, kSnare, 24);
  }
  for (int row = 0; row < 16; ++row) {
    const bool offbeat = row % 4 == 2;
    if (style.hats == 1 && offbeat) bar.put(row, kHatCh, kDrumNote, kClosedHat, 58);
    if (style.hats == 2) bar.put(row, kHatCh, kDrumNote, kClosedHat, offbeat ? 62 : (row % 2 ? 36 : 48));
    if (style.hats == 3)
      bar.put(row, kHatCh, kDrumNote, offbeat ? kOpenHat : kClosedHat, offbeat ? 40 : (row % 2 ? 36 : 48));
  }
}

void playBass(const BarWriter& bar, const Style& style, int root) {
  Song& song = bar.song;
  const int start = bar.start, length = bar.length;
  switch (style.bass) {
    case 1:
      bar.put(0, kBassCh, root, kBass, 46);
      break;
    case 2:
      for (int row = 0; row < 16; row += 2)
        bar.put(row, kBassCh, row % 8 == 6 ? root + 12 : root, kBass, row % 4 == 0 ? 50 : 40);
      break;
    case 3: {
      const int rows[7] = {0, 3, 6, 8, 10, 11, 14};
      const int steps[7] = {0, 0, 12, 0, 0, 12, 7};
      for (int i = 0; i < 7; ++i) bar.put(rows[i], kBassCh, root + steps[i], kBass, i == 0 ? 54 : 46);
      if (length > 6) song.effect(start + 6, kBassCh, kEffectG, 0x40);  // slide up the octave
      break;
    }
    case 4:
      for (int beat = 0; beat < 4; ++beat) {
        song.stop(start + 4 * beat, kBassCh, kNoteCut);
        bar.put(4 * beat + 1, kBassCh, root, kBass, 44);
        bar.put(4 * beat + 2, kBassCh, root + 12, kBass, 48);
        bar.put(4 * beat + 3, kBassCh, root, kBass, 40);
      }
      if (length > 14) song.effect(start + 14, kBassCh, kEffectG, 0x40);
      break;
    default:
      break;
  }
}

// A new chord swells in on the other bank while the sounding one is released.
void playPad(const BarWriter& bar, const Style& style, Chord chord, Chord previous, Chord sounding) {
  Song& song = bar.song;
  const bool newChord = style.pad > 0 && (!sameChord(chord, previous) || !song.padSounding);
  if (song.padSounding && (newChord || style.pad == 0)) {
    for (int voice = 0; voice < 3; ++voice) song.stop(bar.start, kPadBank0 + 3 * song.padBank + voice);
    song.padSounding = false;
  }
  if (newChord) {
    song.padBank = 1 - song.padBank;
    const std::array<int, 3> padNotes = voicing(sounding, 52);
    for (int voice = 0; voice < 3; ++voice)
      bar.put(0, kPadBank0 + 3 * song.padBank + voice, padNotes[voice], kPad, style.pad);
    song.padSounding = true;
  }
}

// The arpeggio channel: the arpeggio, or the counter-melody in its place.
void playArpeggio(const BarWriter& bar, const Style& style, Chord sounding) {
  const std::array<int, 3> t = voicing(sounding, 64);
  if (style.counter) {
    // Quarter notes falling through the chord an octave above the arpeggio's floor, with an
    // eighth-note turn into the next beat.
    const int line[6] = {t[1] + 12, t[0] + 12, t[2], t[1], t[2], t[0] + 12};
    const int rows[6] = {0, 4, 8, 12, 14, 15};
    for (int i = 0; i < 6; ++i) bar.put(rows[i], kArpCh, line[i], kPluck, i < 4 ? style.arp : style.arp * 3 / 4);
  } else if (style.arp > 0) {
    const int ladder[6] = {t[0], t[1], t[2], t[0] + 12, t[1] + 12, t[2] + 12};
    const int order[16] = {0, 1, 2, 3, 4, 5, 4, 3, 1, 2, 3, 4, 5, 4, 3, 2};
    for (int row = 0; row < 16; row += style.arpEighths ? 2 : 1)
      bar.put(row, kArpCh, ladder[order[row]], kPluck, row % 4 == 0 ? style.arp : style.arp * 3 / 4);
  }
}

// The theme's bar where the chord is the theme's, else the chord's third held.
void playLead(const BarWriter& bar, const Style& style, Chord chord, Chord sounding) {
  Song& song = bar.song;
  const int start = bar.start, length = bar.length;
  const Theme& theme = kThemes[style.theme];
  const int inPhrase = style.phraseBar % 8;
  if (!sameChord(chord, theme.chords[inPhrase % 4])) {
    bar.put(0, kLeadCh, voicing(sounding, 69)[1], kLead, style.lead);
    for (int row = 2; row < 14 && row < length; ++row) song.effect(start + row, kLeadCh, kEffectH, 0x44);
    if (length > 14) song.stop(start + 14, kLeadCh);
    return;
  }
  const std::vector<MelodyNote>& notes = theme.bars[inPhrase];
  for (size_t i = 0; i < notes.size(); ++i) {
    const MelodyNote& n = notes[i];
    if (n.row >= length) continue;
    if (n.note < 0) {
      song.stop(start + n.row, kLeadCh);
      continue;
    }
    bar.put(n.row, kLeadCh, n.note + style.lift, kLead, style.lead);
    // Every other bar the second note glides in from the first.
    if (i == 1 && inPhrase % 2 == 1) song.effect(start + n.row, kLeadCh, kEffectG, 0x10);
    // Notes held for six rows or more sing with vibrato after their first two rows.
    const int next = i + 1 < notes.size() ? notes[i + 1].row : 16;
    for (int row = n.row + 2; next - n.row >= 6 && row < next && row < length; ++row)
      song.effect(start + row, kLeadCh, kEffectH, 0x44);
  }
}

// Writes one bar (or the first `length` rows of it) starting at `start`; `previous` is the
// chord before this bar (unlifted).
void playBar(Song& song, int start, int length, const Style& style, Chord chord, Chord previous) {
  const BarWriter bar{song, start, length};
  playDrums(bar, style);
  const Chord sounding = lifted(chord, style.lift);
  if (style.bass == 0) song.stop(start, kBassCh);  // a held note must not ring on
  if (style.lead == 0) song.stop(start, kLeadCh);
  playBass(bar, style, bassNote(sounding));
  playPad(bar, style, chord, previous, sounding);
  playArpeggio(bar, style, sounding);
  if (style.lead > 0) playLead(bar, style, chord, sounding);
}

// A drum fill over rows [from, to): snare sixteenths getting louder.
void fill(Song& song, int from, int to) {
  for (int row = from; row < to; ++row)
    song.note(row, kSnareCh, kDrumNote, kSnare, 28 + 36 * (row - from + 1) / (to - from));
}

void crash(Song& song, int row, int volume = 40) { song.note(row, kCrashCh, kDrumNote, kCrash, volume); }
// The riser runs 32 rows (4 s) into `cut`, where a crash on the same channel ends it.
void riser(Song& song, int cut) { song.note(cut - 32, kCrashCh, kDrumNote, kRiser, 40); }

// Plays a section: bars from `start`, one chord per bar, the last bar possibly short.
int section(Song& song, int start, int rows, const std::vector<Chord>& chords,
            const std::function<Style(int bar)>& styleOf, Chord& previous) {
  for (int bar = 0; bar * kBar < rows; ++bar) {
    const int length = std::min(kBar, rows - bar * kBar);
    const Chord chord = chords[std::min<size_t>(bar, chords.size() - 1)];
    playBar(song, start + bar * kBar, length, styleOf(bar), chord, previous);
    previous = chord;
  }
  return start + rows;
}

// The lead's echo: each lead row again kEchoDelay rows later at 45 % volume, on the echo
// channel panned to the other side.
void echo(Song& song) {
  for (int row = kSongRows - 1 - kEchoDelay; row >= 0; --row) {
    ItCell copy = song.at(row, kLeadCh);
    if (copy.hasVolume) copy.volume = static_cast<uint8_t>(copy.volume * 45 / 100);
    song.at(row + kEchoDelay, kEchoCh) = copy;
  }
}

// The sections, one a scene: each plays its bars (with its crashes, fills and risers) from
// `row` on and returns the row after it.

// Intro, 0 - 8.5 s: the pad alone, then the arpeggio; a one-beat pick-up. Bass and drums
// wait for the first cut.
int playIntro(Song& song, int row, Chord& previous) {
  const int next = section(
      song, row, 68, {kAm, kF, kC, kG, kE},
      [](int bar) {
        Style s;
        s.pad = 24;
        if (bar >= 1) s.arp = 20 + 6 * bar;
        return s;
      },
      previous);
  fill(song, 64, 68);
  return next;
}

// Groove, 8.5 - 23 s: half-time kick, then four on the floor; the snare comes in on beat 4.
int playGroove(Song& song, int row, Chord& previous) {
  crash(song, 68);
  const int next = section(
      song, row, 116, {kAm, kF, kC, kG, kAm, kF, kG, kE},
      [](int bar) {
        Style s;
        s.kick = bar < 3 ? 1 : 2;
        s.snare = bar >= 4 ? 1 : 0;
        s.hats = 1;
        s.bass = 2;
        s.pad = 32;
        if (bar >= 4) s.arp = 26;
        return s;
      },
      previous);
  fill(song, 180, 184);
  return next;
}

// Opening up, 23 - 44.5 s: full drums, syncopated bass, arpeggio; the second progression in
// bars 5 - 8; then a stop: drums and bass out, a riser, a three-beat snare pick-up.
int playOpeningUp(Song& song, int row, Chord& previous) {
  for (int r : {184, 248}) crash(song, r);
  const int next = section(
      song, row, 172, {kAm, kF, kC, kG, kF, kG, kEm, kAm, kF, kG, kE},
      [](int bar) {
        Style s;
        s.pad = 26;
        if (bar >= 8) {
          s.pad = 36;
          s.arp = 16;
          s.arpEighths = true;
          return s;
        }
        s.kick = 2;
        s.snare = 2;
        s.hats = 2;
        s.bass = 3;
        s.arp = 32;
        return s;
      },
      previous);
  riser(song, 356);
  fill(song, 344, 356);
  return next;
}

// Metaballs, 44.5 - 80 s: theme A enters on the cut; theme B over the falling progression;
// theme A's answer; a Dm - E cadence with a fill.
int playMetaballs(Song& song, int row, Chord& previous) {
  for (int r = 356; r < 628; r += 64) crash(song, r, 44);
  const int next = section(
      song, row, 284, {kAm, kF, kC, kG, kAm, kF, kC, kG, kAm, kG, kF, kE, kAm, kF, kC, kG, kDm, kE},
      [](int bar) {
        Style s;
        s.kick = bar < 17 ? 2 : 0;
        s.snare = 3;
        s.hats = 3;
        s.bass = 3;
        s.pad = 24;
        s.arp = 30;
        s.lead = 44;
        s.theme = bar >= 8 && bar < 12 ? 1 : 0;
        s.phraseBar = bar < 8 ? bar : bar - 8;  // B from its start, then A's answer
        return s;
      },
      previous);
  fill(song, 628, 640);
  return next;
}

// Breakdown under the credits, 80 - 94 s: the second progression, pad and a slow arpeggio;
// hats and a soft bass creep in.
int playBreakdown(Song& song, int row, Chord& previous) {
  const int next = section(
      song, row, 112, {kF, kG, kEm, kAm, kF, kG, kE},
      [](int bar) {
        Style s;
        s.pad = 22;
        s.arp = 22;
        s.arpEighths = true;
        if (bar >= 3) s.bass = 1;
        if (bar >= 5) s.hats = 1;
        return s;
      },
      previous);
  fill(song, 744, 752);
  return next;
}

// Tunnel, 94 - 124 s: the falling progression, driving, rolling bass; from 108 s snare, open
// hats and theme B; from 120 s a breakdown with a riser into the finale.
int playTunnel(Song& song, int row, Chord& previous) {
  crash(song, 752);
  crash(song, 864, 40);
  const int next = section(
      song, row, 240, {kAm, kAm, kAm, kG, kF, kE, kE, kAm, kG, kF, kE, kAm, kG, kF, kE},
      [](int bar) {
        Style s;
        s.pad = 24;
        s.arp = 30;
        if (bar >= 7) {
          s.lead = 44;
          s.theme = 1;
          s.phraseBar = bar - 7;
        }
        if (bar >= 13) {
          s.pad = 34;
          s.arpEighths = true;
          return s;
        }
        s.kick = 2;
        s.hats = bar < 7 ? 2 : 3;
        s.bass = 4;
        if (bar >= 7) s.snare = 2;
        return s;
      },
      previous);
  fill(song, 856, 864);
  riser(song, 992);
  fill(song, 984, 992);
  return next;
}

// Finale, 124 - 166 s: lifted to B minor, theme A, then theme A under a counter-melody; the
// falling progression brings it home to A minor; crashes on every change of scene.
int playFinale(Song& song, int row, Chord& previous) {
  for (int r : {992, 1056, 1120, 1184, 1216, 1248, 1280, 1312}) crash(song, r, 44);
  const int next = section(
      song, row, 336, {kAm, kF, kC, kG, kAm, kF, kC, kG, kAm, kF, kC, kG, kAm, kF, kC, kG, kG, kF, kE, kE, kAm},
      [](int bar) {
        Style s;
        s.kick = 2;
        s.snare = 3;
        s.hats = 3;
        s.bass = 3;
        s.pad = 28;
        s.arp = 30;
        s.lead = 46;
        s.phraseBar = bar;
        if (bar < 16) s.lift = 2;
        if (bar >= 8 && bar < 16) s.counter = true;
        if (bar >= 16) {
          s.theme = 1;
          s.phraseBar = bar - 15;
        }
        return s;
      },
      previous);
  for (int r : {1048, 1112, 1176, 1240, 1304}) fill(song, r, r + 8);
  fill(song, 1320, 1328);
  return next;
}

// Outro, 166 - 178 s: a last hit, then the pad, dying away before the loop.
int playOutro(Song& song, int row, Chord& previous) {
  crash(song, 1328, 48);
  song.note(1328, kKickCh, kDrumNote, kKick, 52);
  const int next = section(
      song, row, 96, {kAm, kF, kAm, kF, kAm, kAm},
      [](int bar) {
        Style s;
        s.pad = 44 - 4 * bar;
        if (bar < 4) {
          s.bass = 1;
          s.arp = 16 - 3 * bar;
          s.arpEighths = true;
        }
        return s;
      },
      previous);
  // The last chord dies away with fine volume slides (DF1: one step down per row).
  for (int r = 1392; r < kSongRows; ++r)
    for (int voice = 0; voice < 3; ++voice) song.effect(r, kPadBank0 + 3 * song.padBank + voice, kEffectD, 0xF1);
  return next;
}

// The sync effects, on their own channel. Scene 2 brightens its feedback trail on each 1 - 4, which
// turns the picture white for about 1.1 s while the scene runs at a fifth of its speed (to
// 23 s) and for about a quarter second after: so one pulse in its fade-in and one rising into
// the jump to full speed at 23 s, which ends it; then one every two bars, and one on each of
// the first two beats of the pick-up before the metaballs (on the third too, the pulse and the
// metaballs' opening flash and shake made more than three flashes in a second: WCAG 2.3.1,
// measured by tarvola-flash-report). Its 5 (a blur) comes every four bars.
void writeSyncs(Song& song) {
  for (auto [r, v] : std::initializer_list<std::pair<int, int>>{{68, 5}, {84, 4}, {132, 5}, {180, 3}}) song.sync(r, v);
  for (int bar = 0; bar < 8; ++bar) {
    const int start = 184 + bar * kBar;
    if (bar % 4 == 0) song.sync(start, 5);
    if (bar % 2 == 0) song.sync(start + 8, bar % 4 ? 3 : 4);
  }
  song.sync(312, 5);
  for (int r : {344, 348}) song.sync(r, 4);
  for (int bar = 0; bar < 17; ++bar) song.sync(356 + bar * kBar, bar % 4 == 0 ? 2 : 1);
  song.sync(628, 1);
  for (int r : {864, 896, 928, 960}) song.sync(r, 3);
  for (int r : {1056, 1120, 1184, 1216, 1248, 1280, 1312}) song.sync(r, 5);
  for (int r : {992, 1000, 1008, 1016, 1024, 1032, 1040, 1048, 1192, 1200, 1208, 1288, 1296, 1304}) song.sync(r, 4);
  // The finale's metaballs visits shake every second (1; 2 also jumps ahead) over their dimming
  // pulse, which already flashes once a second; not at 138, 154 and 155 s, where one more shake
  // made more than three flashes in a second.
  for (int r : {1064, 1072, 1080, 1096, 1112, 1224, 1316, 1320, 1324}) song.sync(r, 1);
  song.sync(1088, 2);
  for (int r : {1136, 1152, 1168, 1264}) song.sync(r, 3);
}

// The conductor channel: a row should last 5512.5 frames at 44.1 kHz, but a player renders whole-frame
// ticks, 918 frames at tempo 120 (5508 a row), and would run 0.08 % fast: 135 ms early by 166 s.
// Three rows in every 32 at tempo 119 (926-frame ticks, 5556 a row) make each 32 rows exactly
// 176400 frames (4 s), so the music never drifts more than about 50 frames from the beat grid.
void writeConductor(Song& song) {
  for (int r = 0; r < kSongRows; ++r) {
    const int inGroup = r % 32;
    ItCell& cell = song.at(r, kConductorCh);
    if (inGroup == 5 || inGroup == 16 || inGroup == 27) {
      cell.effect = kEffectT;
      cell.parameter = 119;
    } else if (inGroup == 6 || inGroup == 17 || inGroup == 28) {
      cell.effect = kEffectT;
      cell.parameter = 120;
    }
  }
}

Song writeSong() {
  Song song;
  Chord previous{-1, false};
  int row = 0;
  for (auto part :
       {playIntro, playGroove, playOpeningUp, playMetaballs, playBreakdown, playTunnel, playFinale, playOutro})
    row = part(song, row, previous);
  echo(song);
  writeSyncs(song);
  writeConductor(song);
  return song;
}

// Pattern lengths: each section cut into patterns of at most 64 rows plus its short bar.
constexpr int kPatternRows[] = {68, 64, 52, 64, 64, 44, 64, 64, 64, 92, 64, 48,
                                64, 64, 64, 48, 64, 64, 64, 64, 80, 64, 32};

bool writeModule(const std::filesystem::path& dataDir) {
  const ItModule module = composeMusic();
  const std::vector<uint8_t> bytes = writeIt(module);
  const std::filesystem::path path = dataDir / "kyr.it";
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!file) {
    std::fprintf(stderr, "tarvola-datagen: cannot write %s\n", path.string().c_str());
    return false;
  }
  return true;
}

static const bool registered = registerWriter({"kyr.it", &writeModule});

}  // namespace

ItModule composeMusic() {
  const Song song = writeSong();
  ItModule module;
  module.title = "tarvola";
  module.channels = kChannelCount;
  module.initialSpeed = 6;
  module.initialTempo = 120;
  module.globalVolume = 128;
  module.mixVolume = 84;
  // Kick and bass in the middle, the pad's voices spread wide, lead and echo on either side.
  //               kick snare hat crash bass pad bank 0  pad bank 1  lead arp echo sync conductor
  module.channelPan = {32, 28, 46, 20, 32, 6, 32, 58, 6, 32, 58, 24, 12, 50, 32, 32};
  module.samples = synthesiseMusicSamples();
  module.instruments = musicInstruments();
  int row = 0;
  for (int rows : kPatternRows) {
    ItPattern pattern;
    pattern.rows = rows;
    pattern.cells.assign(song.cells.begin() + static_cast<ptrdiff_t>(row) * kChannelCount,
                         song.cells.begin() + static_cast<ptrdiff_t>(row + rows) * kChannelCount);
    module.orders.push_back(static_cast<uint8_t>(module.patterns.size()));
    module.patterns.push_back(std::move(pattern));
    row += rows;
  }
  return module;
}

}  // namespace tarvola::datagen
