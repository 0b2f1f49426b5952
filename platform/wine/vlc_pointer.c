#include "platform/wine/vlc_pointer.h"

#include <stdlib.h>
#include <string.h>

#include <vlc_common.h>
#include <vlc_input.h>
#include <vlc_variables.h>
#include <vlc_vout.h>

/* In libVLC 3 a media player is itself a VLC object; its input thread ("input") and the video
 * outputs are created below it. Returns a held video output, or NULL. */
static vout_thread_t *hold_video_output(struct libvlc_media_player_t *player)
{
    vlc_list_t *children = vlc_list_children((vlc_object_t *)player);
    if (children == NULL)
        return NULL;
    vout_thread_t *vout = NULL;
    for (int i = 0; i < children->i_count && vout == NULL; i++) {
        vlc_object_t *child = children->p_values[i].p_address;
        /* An input is linked below the player before its constructor has finished, when asking
         * it for its outputs would crash. "intf-event" is created once it is usable, and
         * var_Type takes the lock var_Create takes. */
        if (child->obj.object_type != NULL && strcmp(child->obj.object_type, "input") == 0 &&
            var_Type(child, "intf-event") != 0)
            vout = input_GetVout((input_thread_t *)child);
    }
    vlc_list_release(children);
    return vout;
}

int vlc_pointer_send(struct libvlc_media_player_t *player, int x, int y, int click)
{
    if (player == NULL)
        return -1;
    vout_thread_t *vout = hold_video_output(player);
    if (vout == NULL)
        return -2;
    int result = var_SetCoords(vout, "mouse-moved", x, y);
    if (result == VLC_SUCCESS && click)
        result = var_SetCoords(vout, "mouse-clicked", x, y);
    vlc_object_release(vout);
    return result == VLC_SUCCESS ? 0 : -3;
}
