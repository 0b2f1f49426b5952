#include "frame_scaler.h"

#include <stdlib.h>

#include <libswscale/swscale.h>

struct frame_scaler {
    struct SwsContext* context;
    /* What context was made for; the matrix is set again whenever any of it changes. */
    int source_width, source_height, target_width, target_height, hd;
};

struct frame_scaler* frame_scaler_create(void) {
    struct frame_scaler* scaler = calloc(1, sizeof *scaler);
    if (scaler) scaler->hd = -1;
    return scaler;
}

int frame_scaler_convert(struct frame_scaler* scaler, const uint8_t* const planes[3],
                         const int pitches[3], int source_width, int source_height, int hd,
                         uint8_t* target, int target_pitch, int target_width, int target_height) {
    if (!scaler || source_width <= 0 || source_height <= 0 || target_width <= 0 ||
        target_height <= 0)
        return -1;
    /* Reuses the context while the sizes stay; a new size makes a new one. */
    struct SwsContext* context = sws_getCachedContext(
        scaler->context, source_width, source_height, AV_PIX_FMT_YUV420P, target_width,
        target_height, AV_PIX_FMT_BGR0, SWS_BILINEAR, NULL, NULL, NULL);
    if (!context) return -2;
    if (context != scaler->context || scaler->hd != hd || scaler->source_width != source_width ||
        scaler->source_height != source_height || scaler->target_width != target_width ||
        scaler->target_height != target_height) {
        /* Video range in, full range out, as a video output shows it. */
        const int* matrix = sws_getCoefficients(hd ? SWS_CS_ITU709 : SWS_CS_ITU601);
        sws_setColorspaceDetails(context, matrix, 0, matrix, 1, 0, 1 << 16, 1 << 16);
        scaler->hd = hd;
        scaler->source_width = source_width;
        scaler->source_height = source_height;
        scaler->target_width = target_width;
        scaler->target_height = target_height;
    }
    scaler->context = context;
    uint8_t* targets[4] = {target, NULL, NULL, NULL};
    const int target_pitches[4] = {target_pitch, 0, 0, 0};
    sws_scale(context, planes, pitches, 0, source_height, targets, target_pitches);
    return 0;
}

void frame_scaler_destroy(struct frame_scaler* scaler) {
    if (!scaler) return;
    sws_freeContext(scaler->context);
    free(scaler);
}
