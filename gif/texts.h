// The GIF library's own texts: errors raised as GIFException, warnings handed to
// the warning callback and the messages of the progress callback. Callers may
// compare against these constants; the wording is part of the library's face.
#pragma once

namespace gif::texts {

// Progress.
inline constexpr const char* Saving = "Saving...";
inline constexpr const char* Converting = "Converting...";
inline constexpr const char* Rendering = "Rendering...";
inline constexpr const char* Copying = "Copying...";
inline constexpr const char* Optimizing = "Optimizing...";
inline constexpr const char* Loading = "Loading...";

// Errors and warnings.
inline constexpr const char* WidthTooSmall = "Image width too small for contained frames";
inline constexpr const char* HeightTooSmall = "Image height too small for contained frames";
inline constexpr const char* ClipboardFailed = "Failed to store GIF on clipboard";
inline constexpr const char* ExceedsScreen = "Image exceeds Logical Screen size";
inline constexpr const char* NoColorTable = "No global or local color table defined";
inline constexpr const char* InvalidPixelCoordinates = "Invalid pixel coordinates";
inline constexpr const char* UnsupportedPixelFormat = "Unsupported PixelFormat";
inline constexpr const char* InvalidImageDimensions = "Invalid image dimensions";
inline constexpr const char* NoDIB = "Image has no DIB";
inline constexpr const char* ScanlineOutOfRange = "Scan line index out of range";
inline constexpr const char* InvalidBitmap = "Bitmap image is not valid";
inline constexpr const char* InvalidStreamOperation = "Invalid stream operation";
inline constexpr const char* ColorNotInTable = "Color not in color table";
inline constexpr const char* InvalidBitsPerPixel = "Invalid Bits Per Pixel value";
inline constexpr const char* EmptyColorTable = "Color table is empty";
inline constexpr const char* ImageIsEmpty = "Image is empty";
inline constexpr const char* InvalidReductionMethod = "Invalid reduction method";
inline constexpr const char* FormatName = "GIF Image";
inline constexpr const char* UnsupportedVersion = "Unsupported GIF version";
inline constexpr const char* InvalidSignature = "Invalid GIF signature";
inline constexpr const char* InvalidScreenColors = "Invalid number of colors specified in Screen Descriptor";
inline constexpr const char* InvalidImageColors = "Invalid number of colors specified in Image Descriptor";
inline constexpr const char* UnknownExtension = "Unknown extension type";
inline constexpr const char* InvalidExtensionIntroducer = "Invalid extension introducer";
inline constexpr const char* DIBAllocationFailed = "Failed to allocate memory for GIF DIB";
inline constexpr const char* DecoderUnderrun = "Decoder bit buffer under-run";
inline constexpr const char* CircularTableEntry = "Circular decoder table entry";
inline constexpr const char* InvalidTrailer = "Invalid Image trailer";
inline constexpr const char* ExtensionLabelMismatch =
    "Internal error: Extension Instance does not match Extension Label";
inline constexpr const char* UnsupportedAppExtensionSize = "Unsupported Application Extension block size";
inline constexpr const char* UnknownBlockType = "Unknown GIF block type";
inline constexpr const char* UnsupportedObjectType = "Object type not supported for operation";
inline constexpr const char* InvalidData = "Invalid GIF data";
inline constexpr const char* PrematureEnd = "Premature end of data";
inline constexpr const char* ColorTableOverflow = "Color table overflow";
inline constexpr const char* InvalidColorIndex = "Invalid color index";
inline constexpr const char* UnsupportedClipboardFormat = "Unsupported clipboard format";
inline constexpr const char* OutOfResources = "Out of system resources";

// Our own, for limits the original format never needed to state.
inline constexpr const char* FrameTooLarge = "Image dimensions exceed the allowed frame size";
inline constexpr const char* MemoryBudgetExceeded = "Image needs more memory than allowed";
inline constexpr const char* CannotOpenFile = "Unable to open file";
inline constexpr const char* CannotWriteFile = "Unable to write file";

}  // namespace gif::texts
