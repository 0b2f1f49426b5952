#include "platform/wine/vlc_pointer.h"

#include <stdlib.h>
#include <string.h>

#include <vlc_common.h>
#include <vlc_input.h>
#include <vlc_variables.h>
#include <vlc_vout.h>

/* In libVLC 3 a media player is itself a VLC object; its input thread ("input") and the video
 * outputs are created below it. Calls use(input, data) with the player's usable input while the
 * list of children holds it; -2 when there is none. */
static int with_input(struct libvlc_media_player_t *player,
                      int (*use)(input_thread_t *, void *), void *data)
{
    vlc_list_t *children = vlc_list_children((vlc_object_t *)player);
    if (children == NULL)
        return -2;
    int result = -2;
    for (int i = 0; i < children->i_count && result == -2; i++) {
        vlc_object_t *child = children->p_values[i].p_address;
        /* An input is linked below the player before its constructor has finished, when asking
         * it for its outputs would crash. "intf-event" is created once it is usable, and
         * var_Type takes the lock var_Create takes. */
        if (child->obj.object_type != NULL && strcmp(child->obj.object_type, "input") == 0 &&
            var_Type(child, "intf-event") != 0)
            result = use((input_thread_t *)child, data);
    }
    vlc_list_release(children);
    return result;
}

static int hold_video_output(input_thread_t *input, void *data)
{
    *(vout_thread_t **)data = input_GetVout(input);
    return 0;
}

static int call_menu(input_thread_t *input, void *data)
{
    const int query = *(const int *)data ? INPUT_NAV_POPUP : INPUT_NAV_MENU;
    return input_Control(input, query) == VLC_SUCCESS ? 0 : -3;
}

int vlc_menu_call(struct libvlc_media_player_t *player, int popup)
{
    return player == NULL ? -1 : with_input(player, call_menu, &popup);
}

int vlc_pointer_send(struct libvlc_media_player_t *player, int x, int y, int click)
{
    if (player == NULL)
        return -1;
    vout_thread_t *vout = NULL;
    with_input(player, hold_video_output, &vout);
    if (vout == NULL)
        return -2;
    int result = var_SetCoords(vout, "mouse-moved", x, y);
    if (result == VLC_SUCCESS && click)
        result = var_SetCoords(vout, "mouse-clicked", x, y);
    vlc_object_release(vout);
    return result == VLC_SUCCESS ? 0 : -3;
}
