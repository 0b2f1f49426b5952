/* Pointer events for disc menus while libVLC 3 hands its frames to the program: libVLC sees no
 * pointer then, and its public interface has no call that passes one on. The disc modules
 * listen to the "mouse-moved" and "mouse-clicked" coordinates of the video output object, which
 * this sets. Plain C compiled with the native compiler: libVLC's core headers take other types
 * when _WIN32 is defined. */
#ifndef VELLORAN_VLC_POINTER_H
#define VELLORAN_VLC_POINTER_H
#ifdef __cplusplus
extern "C" {
#endif
struct libvlc_media_player_t;

/* x, y in picture coordinates of the decoded video (720x576 on a PAL DVD), not window pixels.
 * click also activates the button under the point. 0 when delivered; negative when the player
 * has no input or no video output yet. Never from inside libVLC's own callbacks. */
int vlc_pointer_send(struct libvlc_media_player_t* player, int x, int y, int click);

/* Asks the disc for its menu: popup 0 the top menu (a DVD's title menu, else its root menu; a
 * Blu-ray's top menu), 1 a Blu-ray's pop-up menu. 0 when the disc took the request; negative
 * when the player has no input or the disc has no such menu. */
int vlc_menu_call(struct libvlc_media_player_t* player, int popup);

#ifdef __cplusplus
}
#endif
#endif
