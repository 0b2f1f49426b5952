#include "platform/wine/frame_scaler.h"

#include <stdlib.h>

#include <libavutil/buffer.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>

struct frame_scaler {
    struct SwsContext* context;
    /* What context was set up for; any change sets it up (and its matrix) again. */
    int source_width, source_height, target_width, target_height, hd;
    int alignment; /* of bands of this context's result */
    /* The source and a band of the target are described to libswscale as frames; their memory
     * stays the caller's (a buffer reference that frees nothing keeps libswscale from copying). */
    AVFrame *source, *target;
    AVBufferRef* borrowed;
};

/* BGRA has the layout of GDI's 32-bit rows (the alpha byte is ignored there), and unlike BGR0
 * it has libswscale's SIMD conversion when the size stays: a third less time for a picture
 * shown 1:1. */
static const enum AVPixelFormat target_format = AV_PIX_FMT_BGRA;

static uint8_t borrowed_byte;

static void free_nothing(void* opaque, uint8_t* data) {
    (void)opaque;
    (void)data;
}

struct frame_scaler* frame_scaler_create(void) {
    struct frame_scaler* scaler = calloc(1, sizeof *scaler);
    if (!scaler) return NULL;
    scaler->hd = -1;
    scaler->source = av_frame_alloc();
    scaler->target = av_frame_alloc();
    scaler->borrowed = av_buffer_create(&borrowed_byte, 1, free_nothing, NULL, 0);
    if (!scaler->source || !scaler->target || !scaler->borrowed) {
        frame_scaler_destroy(scaler);
        return NULL;
    }
    return scaler;
}

int frame_scaler_prepare(struct frame_scaler* scaler, int source_width, int source_height, int hd,
                         int target_width, int target_height) {
    if (!scaler || source_width <= 0 || source_height <= 0 || target_width <= 0 ||
        target_height <= 0)
        return -1;
    /* Reuses the context while the sizes stay; a new size makes a new one. Asking libswscale
     * whether its context still fits is not enough: for an odd target width it adds a flag of
     * its own to the context, no longer matches what is asked, and would make a new context for
     * every band. */
    if (scaler->context && scaler->hd == hd && scaler->source_width == source_width &&
        scaler->source_height == source_height && scaler->target_width == target_width &&
        scaler->target_height == target_height)
        return scaler->alignment;
    struct SwsContext* context = sws_getCachedContext(
        scaler->context, source_width, source_height, AV_PIX_FMT_YUV420P, target_width,
        target_height, target_format, SWS_BILINEAR, NULL, NULL, NULL);
    if (!context) {
        /* libswscale has freed the old context by then. */
        scaler->context = NULL;
        return -2;
    }
    /* Video range in, full range out, as a video output shows it. */
    const int* matrix = sws_getCoefficients(hd ? SWS_CS_ITU709 : SWS_CS_ITU601);
    sws_setColorspaceDetails(context, matrix, 0, matrix, 1, 0, 1 << 16, 1 << 16);
    scaler->hd = hd;
    scaler->source_width = source_width;
    scaler->source_height = source_height;
    scaler->target_width = target_width;
    scaler->target_height = target_height;
    scaler->context = context;
    const unsigned alignment = sws_receive_slice_alignment(context);
    scaler->alignment = alignment > 0 ? (int)alignment : 1;
    return scaler->alignment;
}

int frame_scaler_convert(struct frame_scaler* scaler, const uint8_t* const planes[3],
                         const int pitches[3], int source_width, int source_height, int hd,
                         uint8_t* target, int target_pitch, int target_width, int target_height,
                         int first_row, int rows) {
    const int alignment =
        frame_scaler_prepare(scaler, source_width, source_height, hd, target_width, target_height);
    if (alignment < 0) return alignment;
    if (first_row < 0 || rows <= 0 || first_row + rows > target_height || first_row % alignment ||
        (first_row + rows < target_height && rows % alignment))
        return -1;
    struct SwsContext* context = scaler->context;

    AVFrame* source = scaler->source;
    source->format = AV_PIX_FMT_YUV420P;
    source->width = source_width;
    source->height = source_height;
    source->buf[0] = scaler->borrowed;
    for (int plane = 0; plane < 3; ++plane) {
        source->data[plane] = (uint8_t*)planes[plane];
        source->linesize[plane] = pitches[plane];
    }
    /* libswscale writes row r of the band at data[0] + r * linesize; the band's memory starts
     * at first_row. */
    AVFrame* band = scaler->target;
    band->format = target_format;
    band->width = target_width;
    band->height = target_height;
    band->buf[0] = scaler->borrowed;
    band->data[0] = (uint8_t*)((uintptr_t)target - (uintptr_t)first_row * (uintptr_t)target_pitch);
    band->linesize[0] = target_pitch;
    int result = sws_frame_start(context, band, source);
    if (result >= 0) result = sws_send_slice(context, 0, (unsigned)source_height);
    if (result >= 0) result = sws_receive_slice(context, (unsigned)first_row, (unsigned)rows);
    sws_frame_end(context);
    /* The frames hold the borrowed reference only while libswscale works. */
    source->buf[0] = NULL;
    band->buf[0] = NULL;
    return result < 0 ? -3 : 0;
}

void frame_scaler_destroy(struct frame_scaler* scaler) {
    if (!scaler) return;
    sws_freeContext(scaler->context);
    av_frame_free(&scaler->source);
    av_frame_free(&scaler->target);
    av_buffer_unref(&scaler->borrowed);
    free(scaler);
}

int frame_scaler_pitch(int target_width) {
    return ((target_width + 7) & ~7) * 4;
}
