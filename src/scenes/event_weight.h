// The scenes' one shape of an effect that follows an event: d hundredths of a second after it,
// a weight falling linearly from 1, reaching 0 after 40 or 60 hundredths. Worked in double and
// rounded once to float, as the scenes always did.
#pragma once

namespace tarvola {

// 1 - d / 40, the factor written 0.025.
inline float weightFalling40(float d) { return float(1 - double(d) * 0.025); }
// 1 - d / 60, the factor written 0.016666668.
inline float weightFalling60(float d) { return float(1 - double(d) * 0.016666668); }

}  // namespace tarvola
