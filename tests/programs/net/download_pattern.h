/* The bytes of the patterned file that the test server serves and the net
 * test Program checks: every byte depends on its position, so a byte lost,
 * doubled or moved anywhere is noticed. */
#ifndef VOZER_TEST_DOWNLOAD_PATTERN_H
#define VOZER_TEST_DOWNLOAD_PATTERN_H

#include <stdint.h>

static uint8_t downloadPatternByte(uint32_t position) {
    return (uint8_t)(((position * 2654435761u) >> 13) ^ (position >> 16));
}

#endif
