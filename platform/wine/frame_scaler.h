/* Converts a planar YUV 4:2:0 picture to 32-bit BGRX at another size in one pass, with
 * libswscale's bilinear filter. Plain C compiled with the native compiler: libswscale is a
 * native library whose headers are not meant for Wine's. Not thread-safe per scaler. */
#ifndef VELLORAN_FRAME_SCALER_H
#define VELLORAN_FRAME_SCALER_H
#include <stdint.h>
#ifdef __cplusplus
extern "C" {
#endif
struct frame_scaler;

struct frame_scaler* frame_scaler_create(void);
/* Sets the scaler up for a source_width x source_height picture shown at target_width x
 * target_height (hd picks the BT.709 matrix instead of BT.601) and returns the row alignment
 * of bands of the result (see frame_scaler_convert); negative when no conversion can be set up.
 * Kept while the sizes stay. */
int frame_scaler_prepare(struct frame_scaler* scaler, int source_width, int source_height, int hd,
                         int target_width, int target_height);
/* planes/pitches: Y, U, V of the picture; converted and scaled as prepared. Only the rows
 * first_row .. first_row + rows - 1 of the result are made, written top-down into target (the
 * first of them; target_pitch bytes a row), so that a large picture can pass through a small
 * buffer. first_row must be a multiple of the alignment, and rows too unless they end the
 * picture. 0 when done, negative otherwise. */
int frame_scaler_convert(struct frame_scaler* scaler, const uint8_t* const planes[3],
                         const int pitches[3], int source_width, int source_height, int hd,
                         uint8_t* target, int target_pitch, int target_width, int target_height,
                         int first_row, int rows);
void frame_scaler_destroy(struct frame_scaler* scaler);
/* The bytes a row of target_width pixels takes in a target: libswscale's SIMD writes whole
 * groups of 8 pixels, past the picture's last column up to the row's padding (and, without it,
 * past the end of a band). Only the first target_width pixels of a row are the picture. */
int frame_scaler_pitch(int target_width);

#ifdef __cplusplus
}
#endif
#endif
