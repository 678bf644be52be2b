// Command_CouponBox: the coupon box test on the service port 6 (requests with letter 'P'):
// enable with and without its LEDs, disable, status, and the LED values of its two arrays.
#pragma once

#include "Moxtel/UtilityRun.h"

namespace lane::moxtel {

// Until X or ESC.
void CouponBoxTest(UtilityRun& run);

}  // namespace lane::moxtel
