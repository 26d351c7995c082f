// The in-memory model of a GIF file: the header with the logical screen and the
// global colour table, the frames with their local tables, pixels and extension
// blocks, and the animation that owns them and reads and writes whole files.
// The one header to include; each part has its own beside it (basics.h,
// blocks.h, colormap.h, header.h, extensions.h, subimage.h, image.h,
// load_options.h).
//
// Ownership follows the lists (see gif/blocks.h). Errors raise GIFException
// with the texts of gif/texts.h; warnings go to TGIFImage::OnWarning and are
// dropped without a handler.
#pragma once

#include "gif/basics.h"
#include "gif/blocks.h"
#include "gif/colormap.h"
#include "gif/encoded_data_cache.h"
#include "gif/extensions.h"
#include "gif/header.h"
#include "gif/image.h"
#include "gif/load_options.h"
#include "gif/lzw/lzw.h"
#include "gif/stream.h"
#include "gif/subimage.h"
#include "gif/texts.h"
