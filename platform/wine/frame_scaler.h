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
/* planes/pitches: Y, U, V of a source_width x source_height picture. The result is written
 * top-down into target (target_pitch bytes a row). hd picks the BT.709 matrix instead of
 * BT.601. 0 when done; negative when no conversion could be set up. */
int frame_scaler_convert(struct frame_scaler* scaler, const uint8_t* const planes[3],
                         const int pitches[3], int source_width, int source_height, int hd,
                         uint8_t* target, int target_pitch, int target_width, int target_height);
void frame_scaler_destroy(struct frame_scaler* scaler);

#ifdef __cplusplus
}
#endif
#endif
