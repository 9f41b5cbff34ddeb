// The slice stage of the preview decoder: slice() and macroblock() of §6.2.4 and §6.2.5, handing
// each macroblock to the motion, block and reconstruction stages.
#pragma once
#include <cstdint>

#include "mpeg2/slice_context.h"

// Points the context at the picture geometry `g` (the one the run has fixed): the rows and pixels
// of the frame store the slice may write and predictions may read.
void set_slice_picture(SliceContext& c, const FrameGeometry& g);

// Decodes the slice whose header starts at p (the byte after its start code) with bits up to
// `end`, after set_slice_picture. The macroblocks go where the run's macroblock counter places
// them; errors go to the run's error code.
void decode_slice(SliceContext& c, const uint8_t* p, const uint8_t* end);
