/* Reeltide: builds one SWF (version 5) movie at a time from JPEG images, shapes and
 * display-list operations, and writes it to a file.
 *
 * The movie under construction is global state of the library, kept from createMovie to
 * writeMovie. The library is NOT thread-safe: one thread builds one movie at a time.
 *
 * Integers are 32-bit; where an SWF field is 16 bits the low 16 bits are taken. Character
 * ids are returned as 16-bit values, zero-extended. Coordinates are pixels; the library
 * writes them in twips (1/20 pixel). Strings are zero-terminated 8-bit text.
 *
 * No exception leaves an export: an operation that fails inside (out of memory, say) does
 * nothing and answers 0 where it returns a value; writeMovie still resets the movie state.
 *
 * Character ids. Each character-defining call (makeBlankShape, makeShape, makeJpeg,
 * makeJpegData, makeButton, makeSoundClip) takes the next id, starting at 0 for every
 * movie, and answers 0 when it fails. A movie holds at most 65,536 characters (ids 0 to
 * 65535): once they are used up these calls write nothing and answer 0. So a 0 after a
 * successful character-defining call of the same movie is a failure; a first call's 0 is
 * ambiguous (the first id is 0), and a caller that must know checks what it passes before
 * that call (for makeJpeg: that the file exists and can be read; for makeJpegData: that
 * the bytes are there).
 */
#ifndef REELTIDE_H
#define REELTIDE_H

#if defined(__GNUC__)
#define REELTIDE_API __attribute__((visibility("default")))
#else
#define REELTIDE_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Starts a movie: stores the frame rate (used by the sound exports), clears the frame
 * count and the sound track, sets the start frame to 1 and clears the depth table. Writes
 * no tag; tags and character ids of a movie never written stay part of the next file. */
REELTIDE_API void createMovie(int frameRate);

/* Writes a SetBackgroundColor tag (low byte of each component). */
REELTIDE_API void setBkColor(int red, int green, int blue);

/* Defines an empty shape (DefineShape3) and returns its character id (0 once the
 * character ids are used up; see above). */
REELTIDE_API int makeBlankShape(void);

/* Defines a shape (DefineShape3) from a command list and returns its character id.
 * cmds[0..3]: x, y, width, height of the shape's box in pixels (used by commands 7 and 8).
 * From cmds[4], each command is followed by its values:
 *   0 move to: y, x                 1 line: dy, dx
 *   2 curve: anchorDy, anchorDx, controlDy, controlDx
 *   3 select fill style 0: n        4 select line style: n
 *   5 add line style: width, r, g, b, a
 *   6 add solid fill: r, g, b, a
 *   7 add bitmap fill: bitmapId, clipped (1 = clipped, else tiled); the bitmap is scaled
 *     by 20 and placed at the box's origin
 *   8 add gradient fill: up to 8 groups (1, ratio, r, g, b, a), ended by any other value
 *   10 glyph of charCode from font fontName: bold, italic, underline
 * Styles are numbered from 1 in the order added. Unknown commands take no values; a
 * command whose values would run past count ends the list. Pen positions are held to
 * +-(2^30 - 1) twips, the most the format can store. Returns 0 once the character ids
 * are used up (see above). */
REELTIDE_API int makeShape(const char* fontName, int charCode, int count, const int* cmds);

/* Defines a JPEG bitmap from the file's bytes (DefineBitsJPEG2), or, when withAlpha is
 * not 0, with the width * height opacity bytes of alpha (DefineBitsJPEG3). Returns the
 * bitmap's character id, or 0 when the file cannot be read, the alpha plane is missing
 * or cannot be compressed, or the character ids are used up; then no tag is written and
 * no id is used. The first bitmap of a movie may also get id 0: check the file before a
 * first call whose 0 must mean failure (see above). */
REELTIDE_API int makeJpeg(const char* fileName, int width, int height, int withAlpha, const unsigned char* alpha);

/* As makeJpeg, from the size bytes at data instead of a file's: a caller that holds the
 * picture in memory need not write it out for the library to read back. Returns 0 (no
 * tag, no id) when data is null with a size above 0 or size is negative, and for the
 * reasons makeJpeg gives other than the file. The bytes are copied before it returns. */
REELTIDE_API int makeJpegData(const unsigned char* data, int size, int width, int height, int withAlpha,
                              const unsigned char* alpha);

/* Places characterId at depth (PlaceObject2), unless the depth table marks characterId's
 * entry as placed. */
REELTIDE_API void placeObject(int depth, int characterId);

/* Removes the character at depth (RemoveObject2) when one was placed there. */
REELTIDE_API void removeObject(int depth);

/* Places or moves characterId at depth with a matrix and a colour transform built from
 * 18 values: [0] 1 = scale, [1] [2] scale x, y in percent (negative flips); [3] 1 = rotation
 * entry (always 0); [4] [5] unused; [6] [7] translation in pixels; [8] 1 = add terms,
 * [9..12] add r, g, b, a; [13] 1 = mult terms, [14..17] mult r, g, b, a. */
REELTIDE_API void transformObject(int depth, int characterId, const int* params);

/* Ends the current frame (ShowFrame), after the sound track's next block when it plays. */
REELTIDE_API void showFrame(void);

/* Ends the movie and writes it to fileName: with the low byte of playFlag set, first an
 * action that jumps to the start frame and plays; then the End tag, the header (version 5,
 * width * height pixels, frameRate frames per second, frame count = frames shown + 1) and
 * the tags. The file is replaced only once it has been written whole. Returns 1 when the
 * file was written, 0 when it could not be created or written, or when the frame count
 * would pass 65,535 (at most 65,534 showFrame calls), which the header cannot hold; then
 * no file is written. Either way the movie state
 * is reset (empty tag stream, character ids from 0, no sound track), ready for the next
 * createMovie. */
REELTIDE_API int writeMovie(const char* fileName, int width, int height, int frameRate, int playFlag);

/* Names the file the movie under construction will be written to, and its size in pixels,
 * before writeMovie is called with them: from then on the library writes the tags to a
 * temporary file beside fileName as they are made (and those made so far), instead of
 * holding the whole movie in memory until writeMovie. The movie written is the same;
 * writeMovie with this name and size puts the header in front and the file in place,
 * with another name or size it writes as without this call, and with no name it removes
 * the temporary file. Returns 1 when the file was started, 0 when it could not be made
 * or a file was already named for this movie (the movie then stays in memory or goes
 * to the file named first). Writes no tag. */
REELTIDE_API int setMovieFile(const char* fileName, int width, int height);

/* Further exports: start and wait frames, an end URL, buttons and sounds. */

/* Sets the frame that writeMovie's start action jumps to (1 after createMovie; kept
 * across writeMovie). Writes no tag. */
REELTIDE_API void setMovieStartFrame(int frame);

/* Writes an action that waits for the frame to load, skipping the low byte of
 * skipCount actions until it has (DoAction with WaitForFrame2). */
REELTIDE_API void setMovieWaitFrame(int skipCount);

/* Writes an action that opens url in target (DoAction with GetURL) into the frame
 * being built. A null string is taken as empty. Nothing is written when url and target
 * together pass 65,533 bytes, more than an action can hold. */
REELTIDE_API void setEndURL(const char* url, const char* target);

/* Defines a button (DefineButton2) from four characters, each also giving its layer:
 * overId for the over state, upId for up, downId for down, hitId for the hit area.
 * actionKind chooses what a click does: 0 open url in target, 1 go to frame (low 16
 * bits) and play, 2 stop, 3 play, 4 next frame, 5 previous frame, 6 stop sounds,
 * 7 toggle quality; any other value gives a button without an action. Returns the
 * button's character id, or 0 (nothing written) when url and target pass 65,533 bytes
 * or the character ids are used up. */
REELTIDE_API int makeButton(int overId, int upId, int downId, int hitId, int actionKind, int frame,
                            const char* url, const char* target);

/* Loads an MP3 file as the movie's streamed sound track (replacing an earlier one) and
 * writes its stream head; after playSoundTrack every showFrame streams the audio of one
 * movie frame (at createMovie's frame rate), timed by the MP3 frames' own durations. A
 * file that cannot be read or holds no MP3 frame gives a silent track. Returns 0, or -1
 * when the MP3 is at a sample rate SWF cannot declare (only 11025, 22050 and 44100 Hz
 * serve for MP3; 8, 12, 16, 24, 32 and 48 kHz would play at the wrong speed): then
 * nothing is written and an earlier track stays. */
REELTIDE_API int makeSound(const char* mp3FileName);

/* Defines an event sound (DefineSound) holding every MP3 frame of the file and returns
 * its character id; 0 (nothing written) when the MP3's sample rate cannot be declared
 * (as for makeSound) or the character ids are used up. */
REELTIDE_API int makeSoundClip(const char* mp3FileName);

/* Starts the event sound soundId (StartSound), unless it already plays. */
REELTIDE_API void playSound(int soundId);

/* Makes every later showFrame first write the sound track's next block, until
 * writeMovie. */
REELTIDE_API void playSoundTrack(void);

#ifdef __cplusplus
}
#endif

#endif /* REELTIDE_H */
