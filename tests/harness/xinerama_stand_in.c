/* A stand-in libXinerama.so.1 for wine-session.sh's TAVELIN_DISPLAYS: Xvfb cannot place its
 * screens side by side (its Xinerama heads all sit at 0,0), so one wide X screen is cut into
 * the heads named in TAVELIN_XINERAMA_HEADS ("WxH+X+Y,WxH+X+Y,..."), which Wine's X11 driver
 * then takes as monitors. Wine opens the library with dlopen, so it needs no X headers: only
 * the three entry points it looks up, with the Xinerama.h layout of a head. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef struct _XDisplay Display;
typedef int Bool;

typedef struct {
    int screen_number;
    short x_org;
    short y_org;
    short width;
    short height;
} XineramaScreenInfo;

/* The heads named, in a malloc'ed array (the caller frees it with XFree, which is free). */
static XineramaScreenInfo *heads(int *count) {
    const char *text = getenv("TAVELIN_XINERAMA_HEADS");
    XineramaScreenInfo *list = NULL;
    *count = 0;
    while (text && *text) {
        int width, height, x, y, used = 0;
        if (sscanf(text, "%dx%d+%d+%d%n", &width, &height, &x, &y, &used) != 4 || width <= 0 || height <= 0)
            break;
        XineramaScreenInfo *grown = realloc(list, (*count + 1) * sizeof *list);
        if (!grown)
            break;
        list = grown;
        list[*count] = (XineramaScreenInfo){*count, (short)x, (short)y, (short)width, (short)height};
        ++*count;
        text += used;
        if (*text != ',')
            break;
        ++text;
    }
    if (*count == 0) {
        free(list);
        list = NULL;
    }
    return list;
}

Bool XineramaQueryExtension(Display *display, int *event_base, int *error_base) {
    (void)display;
    *event_base = 0;
    *error_base = 0;
    return 1;
}

Bool XineramaIsActive(Display *display) {
    int count;
    (void)display;
    free(heads(&count));
    return count > 0;
}

XineramaScreenInfo *XineramaQueryScreens(Display *display, int *number) {
    (void)display;
    return heads(number);
}
