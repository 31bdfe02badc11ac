// Put before the music engine's runtime in the AudioWorklet's script. An AudioWorkletGlobalScope
// has neither `performance` nor `crypto`: the runtime's clock then takes Date.now, through the
// name a JavaScript shell provides it by, and its entropy (libopenmpt seeds a generator from
// std::random_device as it loads a module) comes from Math.random. The demo's module sounds the
// same whatever the seed and the clock (the web test holds it to the native capture's sound).
var dateNow = typeof performance == 'undefined' ? () => Date.now() : undefined;
var crypto = typeof globalThis.crypto == 'object' ? globalThis.crypto : {
  getRandomValues(bytes) {
    for (let i = 0; i < bytes.length; ++i) bytes[i] = Math.floor(Math.random() * 256);
    return bytes;
  },
};
