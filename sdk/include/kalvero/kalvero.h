/* Kalvero: reads the 8-digit numbers painted on railway carriages.
 *
 * The C interface of libkalvero.so.1. Every type is either plain data or an
 * opaque handle; nothing of C++ crosses it, so the library can change
 * inside without its users being built again.
 *
 * Conventions:
 *  - Functions that can fail return a status: KALVERO_OK (0) or one of the
 *    KALVERO_E_* codes. After a failure, kalvero_last_error() returns a
 *    one-line message saying why. The message belongs to the calling thread
 *    and stays valid until that thread's next call into the library.
 *  - Functions that make a handle return NULL on failure, with the message
 *    set the same way.
 *  - Every *_free function takes NULL and does nothing with it.
 *  - Strings the library returns belong to the handle they came from and
 *    live as long as it does.
 *
 * Threads: a reader is used by one thread at a time; several readers may
 * read at once in one process, each on its own thread. A reader entered by a
 * second thread while the first is inside it refuses the call with
 * KALVERO_E_BUSY instead of reading. Options and frame results are plain
 * values: read them from any thread, change them from one.
 */
#ifndef KALVERO_KALVERO_H
#define KALVERO_KALVERO_H

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define KALVERO_API __attribute__((visibility("default")))
#else
#define KALVERO_API
#endif

/* Statuses. */
enum {
    KALVERO_OK = 0,
    KALVERO_E_INVALID_ARGUMENT = 1, /* a null pointer, a value out of range, an unknown name */
    KALVERO_E_IMAGE = 2,            /* an image that is not what it says it is */
    KALVERO_E_ZONE = 3,             /* the zone does not fit the frame */
    KALVERO_E_BUSY = 4,             /* the reader is in use by another thread */
    KALVERO_E_FILE = 5,             /* a file or stream could not be opened or read */
    KALVERO_E_MODEL = 6,            /* the learned engine's network could not be loaded */
    KALVERO_E_STOPPED = 7,          /* a callback asked kalvero_read_file to stop */
    KALVERO_E_INTERNAL = 8          /* anything else (out of memory, an unexpected error) */
};

/* Pixel layouts of kalvero_image. */
typedef enum {
    KALVERO_BGR8 = 1, /* 3 bytes a pixel: blue, green, red (OpenCV's order) */
    KALVERO_RGB8 = 2, /* 3 bytes a pixel: red, green, blue */
    KALVERO_GRAY8 = 3 /* 1 byte a pixel */
} kalvero_pixel_format;

/* A picture handed to kalvero_read_frame. `data` points at the top row;
 * row y starts at data + y * stride. The library reads the pixels during the
 * call only and keeps nothing of them. */
typedef struct {
    const unsigned char* data;
    int width;
    int height;
    int stride; /* bytes from one row to the next, at least width * bytes a pixel */
    kalvero_pixel_format format;
} kalvero_image;

/* A rectangle in frame pixels. */
typedef struct {
    int x;
    int y;
    int width;
    int height;
} kalvero_box;

typedef struct kalvero_options kalvero_options;
typedef struct kalvero_reader kalvero_reader;
typedef struct kalvero_frame kalvero_frame;
typedef struct kalvero_pass kalvero_pass;

/* ---- Library ---------------------------------------------------------- */

/* The library's version, "MAJOR.MINOR". Never NULL. */
KALVERO_API const char* kalvero_version(void);

/* The message of the calling thread's last failure, or "" when none. Never
 * NULL. Valid until the thread's next call into the library. */
KALVERO_API const char* kalvero_last_error(void);

/* The status of the calling thread's last failure (what a function that
 * returns a handle failed with), or KALVERO_OK when none. */
KALVERO_API int kalvero_last_status(void);

/* ---- Options ---------------------------------------------------------- */

/* New options holding the defaults: the learned engine, the whole frame,
 * every digit height looked for, a vote over 30 frames of which 5 confirm,
 * a number read well on 3 frames in a row confirmed too, the check-digit
 * rule on. NULL when out of memory. */
KALVERO_API kalvero_options* kalvero_options_new(void);

/* Releases options. Readers made from them keep their own copy. */
KALVERO_API void kalvero_options_free(kalvero_options* options);

/* The engine: "learned" (the default) or "glyph". Any other name:
 * KALVERO_E_INVALID_ARGUMENT, the options unchanged. */
KALVERO_API int kalvero_options_set_engine(kalvero_options* options, const char* engine);

/* Reads only this part of every frame (frame pixels). x and y at least 0,
 * width and height at least 1, else KALVERO_E_INVALID_ARGUMENT. A frame the
 * zone does not fit is refused by kalvero_read_frame (KALVERO_E_ZONE). */
KALVERO_API int kalvero_options_set_zone(kalvero_options* options, int x, int y, int width, int height);

/* Reads every frame whole again (the default). */
KALVERO_API int kalvero_options_clear_zone(kalvero_options* options);

/* The height of the digits in pixels. The learned engine takes it as a hint,
 * 10..250, or 0 for none (every height looked for, the default); the glyph
 * engine needs 16..99 (29 when 0). Checked against the engine by
 * kalvero_reader_new; outside 0..250 refused here. */
KALVERO_API int kalvero_options_set_digit_height(kalvero_options* options, int pixels);

/* The vote: of the last `depth` frames (5..500), `threshold` (1..depth)
 * reading the same number confirm it. Out of range:
 * KALVERO_E_INVALID_ARGUMENT, the options unchanged. */
KALVERO_API int kalvero_options_set_vote(kalvero_options* options, int depth, int threshold);

/* Learned engine, kalvero_read_frame: a number read with a high score on
 * this many frames in a row is confirmed as well as by the vote; 3 by
 * default, 1 for stills (every frame a picture of its own), 0 for the vote
 * alone. 0..500. kalvero_read_file takes 3 for a video and 1 for a still,
 * as kalvero-read does. */
KALVERO_API int kalvero_options_set_confirm_frames(kalvero_options* options, int frames);

/* The check-digit rule: only numbers whose eighth digit is the check digit
 * of the first seven are confirmed. 1 (the default) on, 0 off (rolling stock
 * numbered otherwise). */
KALVERO_API int kalvero_options_set_check_digit(kalvero_options* options, int on);

/* ---- Reader ----------------------------------------------------------- */

/* A reader of one sequence of frames (one camera, one video). NULL options
 * give the defaults. Loads the learned engine's network (built into the
 * library) when that engine is asked for. NULL on failure: options that do
 * not go together (KALVERO_E_INVALID_ARGUMENT), a network that does not
 * load (KALVERO_E_MODEL). */
KALVERO_API kalvero_reader* kalvero_reader_new(const kalvero_options* options);

/* Releases a reader. Must not be called while another thread is inside it. */
KALVERO_API void kalvero_reader_free(kalvero_reader* reader);

/* Reads the next frame of the reader's sequence, taken at `timestamp_s`
 * seconds (any clock, rising). On KALVERO_OK, *out holds a new frame result
 * the caller releases with kalvero_frame_free; on failure *out is NULL (when
 * `out` itself is not) and the reader's sequence is as it was.
 * Refused: a NULL reader, image or out, NULL data, a width or height of 0 or
 * less, a stride smaller than a row or large enough to overflow, an unknown
 * format (KALVERO_E_INVALID_ARGUMENT or KALVERO_E_IMAGE); a zone the frame
 * does not hold (KALVERO_E_ZONE); a reader in use by another thread
 * (KALVERO_E_BUSY). */
KALVERO_API int kalvero_read_frame(kalvero_reader* reader, const kalvero_image* image, double timestamp_s,
                                   kalvero_frame** out);

/* Ends the reader's sequence: *out receives a frame result with no readings
 * (frame number 0) whose passes are those still open, and the reader starts
 * a new sequence (vote and passes afresh). */
KALVERO_API int kalvero_reader_finish(kalvero_reader* reader, kalvero_frame** out);

/* ---- Frame results ---------------------------------------------------- */

KALVERO_API void kalvero_frame_free(kalvero_frame* frame);

/* The frame's number in its sequence, 1 for the first; 0 for the result of
 * kalvero_reader_finish. */
KALVERO_API int kalvero_frame_number(const kalvero_frame* frame);

/* The frame's time in seconds, as handed in (or as the file states). */
KALVERO_API double kalvero_frame_timestamp(const kalvero_frame* frame);

/* The number confirmed with this frame, or NULL when none is. */
KALVERO_API const char* kalvero_frame_confirmed(const kalvero_frame* frame);

/* The frame's readings, best first; 0 for a NULL frame. The reading
 * accessors return "", an empty box, 0 or NULL for an index out of range. */
KALVERO_API int kalvero_frame_reading_count(const kalvero_frame* frame);
KALVERO_API const char* kalvero_frame_reading_text(const kalvero_frame* frame, int index);
/* The reading's box in frame pixels. */
KALVERO_API kalvero_box kalvero_frame_reading_box(const kalvero_frame* frame, int index);
/* The engine's score; higher is better (learned engine: 0..1, the product of
 * the digit scores). */
KALVERO_API float kalvero_frame_reading_score(const kalvero_frame* frame, int index);
/* The learned engine's confidence of each digit (0..1): sets *scores to them
 * and returns their count; 0 (and *scores NULL) for the glyph engine. */
KALVERO_API int kalvero_frame_reading_digit_scores(const kalvero_frame* frame, int index, const float** scores);
/* 1 when the reading is 8 digits whose check digit holds, else 0. */
KALVERO_API int kalvero_frame_reading_check_digit(const kalvero_frame* frame, int index);

/* The carriage passes that ended with this frame, by first frame. The pass
 * belongs to the frame result. */
KALVERO_API int kalvero_frame_pass_count(const kalvero_frame* frame);
KALVERO_API const kalvero_pass* kalvero_frame_pass(const kalvero_frame* frame, int index);

/* ---- Carriage passes -------------------------------------------------- */
/* A pass: one carriage number going by, from the first to the last frame
 * that read it, confirmed on at least one of them. */

KALVERO_API const char* kalvero_pass_number(const kalvero_pass* pass);
/* 1 when the number's check digit holds. */
KALVERO_API int kalvero_pass_check_digit(const kalvero_pass* pass);
KALVERO_API int kalvero_pass_first_frame(const kalvero_pass* pass);
KALVERO_API int kalvero_pass_last_frame(const kalvero_pass* pass);
KALVERO_API double kalvero_pass_start_time(const kalvero_pass* pass);
KALVERO_API double kalvero_pass_end_time(const kalvero_pass* pass);
KALVERO_API float kalvero_pass_best_score(const kalvero_pass* pass);
/* The number's box in the frame it was read best in. */
KALVERO_API kalvero_box kalvero_pass_best_box(const kalvero_pass* pass);
/* "left", "right" or "none": which way the number moved across the picture. */
KALVERO_API const char* kalvero_pass_direction(const kalvero_pass* pass);

/* ---- Files and streams ------------------------------------------------ */

/* What kalvero_read_file calls. Either may be NULL. A callback returning
 * non-zero ends the read after that call (status KALVERO_E_STOPPED). The
 * frame and the pass are valid during the call only. */
typedef struct {
    int (*on_frame)(const kalvero_frame* frame, void* user_data);
    int (*on_pass)(const kalvero_pass* pass, void* user_data);
} kalvero_callbacks;

/* Reads a video file, a still picture (png, jpg, jpeg, bmp, tif, tiff) or a
 * stream address to its end, exactly as kalvero-read does: on_frame for
 * every frame, on_pass for every pass as it ends. NULL options give the
 * defaults, and a still is then confirmed on its one frame. Returns
 * KALVERO_OK, or a status with the message (a file that does not open:
 * KALVERO_E_FILE). Runs on the calling thread. */
KALVERO_API int kalvero_read_file(const char* path, const kalvero_options* options,
                                  const kalvero_callbacks* callbacks, void* user_data);

#ifdef __cplusplus
}
#endif

#endif /* KALVERO_KALVERO_H */
