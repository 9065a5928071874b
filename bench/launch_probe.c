// Times a program from its start to its window drawn on an X server, and
// reports its peak memory.
//
//   launch_probe TITLE PROGRAM [ARGS...]   start PROGRAM; wait for a top-level
//                                          window whose name contains TITLE
//                                          to be mapped and then drawn into
//   launch_probe --run PROGRAM [ARGS...]   run PROGRAM to its end
//
// Prints one line of key=value pairs:
//   titled_ms  the window is mapped and carries the title
//   drawn_ms   the first drawing into that window after that (the X server's
//              DAMAGE extension reports it), i.e. the grid is on screen
//   let_go_ms  the program holds its last argument, the file it shows, no
//              longer: no descriptor or mapping of it is left (a lease needs
//              a descriptor); watched for up to 10 s after the drawing
//   peak_kb    the most resident memory of the program (VmHWM, read just
//              before it is stopped, after it let go of the file; ru_maxrss
//              when it ran to its end)
//   ms         --run only: start to exit
// With TW_PROBE_SHOT=FILE.ppm, what the window holds at that moment is saved,
// to see what was drawn. The clock starts right before fork(). Exit status 2: the window never
// came within the time limit (TW_PROBE_TIMEOUT seconds, default 120).
#define _GNU_SOURCE
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double nowMs(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec * 1e3 + (double)t.tv_nsec / 1e6;
}

static pid_t start(char** argv) {
  const pid_t pid = fork();
  if (pid == 0) {
    execvp(argv[0], argv);
    perror(argv[0]);
    _exit(127);
  }
  return pid;
}

static long peakKb(pid_t pid) {
  char path[64];
  snprintf(path, sizeof path, "/proc/%d/status", (int)pid);
  FILE* status = fopen(path, "r");
  if (!status) return -1;
  char line[256];
  long kb = -1;
  while (fgets(line, sizeof line, status))
    if (sscanf(line, "VmHWM: %ld", &kb) == 1) break;
  fclose(status);
  return kb;
}

// Whether the process has a descriptor or a mapping of the file (dev, ino).
static int holdsFile(pid_t pid, dev_t dev, ino_t ino) {
  char path[320];
  snprintf(path, sizeof path, "/proc/%d/fd", (int)pid);
  DIR* fds = opendir(path);
  int held = 0;
  for (struct dirent* fd; fds && !held && (fd = readdir(fds));) {
    struct stat status;
    snprintf(path, sizeof path, "/proc/%d/fd/%s", (int)pid, fd->d_name);
    held = fd->d_name[0] != '.' && stat(path, &status) == 0 && status.st_dev == dev && status.st_ino == ino;
  }
  if (fds) closedir(fds);
  snprintf(path, sizeof path, "/proc/%d/maps", (int)pid);
  FILE* maps = fopen(path, "r");
  char line[4096];
  while (maps && !held && fgets(line, sizeof line, maps)) {
    unsigned major_, minor_;
    unsigned long long inode;
    held = sscanf(line, "%*s %*s %*s %x:%x %llu", &major_, &minor_, &inode) == 3 && inode == ino &&
           makedev(major_, minor_) == dev;
  }
  if (maps) fclose(maps);
  return held;
}

static int runToEnd(char** argv) {
  const double t0 = nowMs();
  const pid_t pid = start(argv);
  int status = 0;
  struct rusage usage;
  if (wait4(pid, &status, 0, &usage) < 0) return 1;
  printf("ms=%.3f peak_kb=%ld\n", nowMs() - t0, usage.ru_maxrss);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

// The window's name (_NET_WM_NAME, else WM_NAME) contains `title`.
static int hasTitle(Display* dpy, Window w, const char* title) {
  static Atom netName = None, utf8 = None;
  if (netName == None) {
    netName = XInternAtom(dpy, "_NET_WM_NAME", False);
    utf8 = XInternAtom(dpy, "UTF8_STRING", False);
  }
  const Atom names[2] = {netName, XA_WM_NAME};
  for (int i = 0; i < 2; ++i) {
    Atom type;
    int format;
    unsigned long items, after;
    unsigned char* data = NULL;
    if (XGetWindowProperty(dpy, w, names[i], 0, 4096, False, i == 0 ? utf8 : AnyPropertyType, &type, &format,
                           &items, &after, &data) == Success && data) {
      const int found = strstr((const char*)data, title) != NULL;
      XFree(data);
      if (found) return 1;
    }
  }
  return 0;
}

// The window's contents as a binary PPM picture.
static void savePicture(Display* dpy, Window w, const char* path) {
  XWindowAttributes a;
  if (!XGetWindowAttributes(dpy, w, &a)) return;
  XImage* image = XGetImage(dpy, w, 0, 0, (unsigned)a.width, (unsigned)a.height, AllPlanes, ZPixmap);
  FILE* out = image ? fopen(path, "wb") : NULL;
  if (out) {
    fprintf(out, "P6\n%d %d\n255\n", a.width, a.height);
    for (int y = 0; y < a.height; ++y)
      for (int x = 0; x < a.width; ++x) {
        const unsigned long pixel = XGetPixel(image, x, y);
        const unsigned char rgb[3] = {(unsigned char)(pixel >> 16), (unsigned char)(pixel >> 8), (unsigned char)pixel};
        fwrite(rgb, 1, 3, out);
      }
    fclose(out);
  }
  if (image) XDestroyImage(image);
}

static int ignoreErrors(Display* dpy, XErrorEvent* error) {
  (void)dpy;
  (void)error;  // a window can be gone before we look at it
  return 0;
}

int main(int argc, char** argv) {
  if (argc >= 3 && strcmp(argv[1], "--run") == 0) return runToEnd(argv + 2);
  if (argc < 3) {
    fprintf(stderr, "usage: launch_probe TITLE PROGRAM [ARGS...] | --run PROGRAM [ARGS...]\n");
    return 1;
  }
  const char* title = argv[1];
  const char* limit = getenv("TW_PROBE_TIMEOUT");
  const double timeoutMs = (limit ? atof(limit) : 120.0) * 1e3;
  Display* dpy = XOpenDisplay(NULL);
  int damageEvent, damageError;
  if (!dpy || !XDamageQueryExtension(dpy, &damageEvent, &damageError)) {
    fprintf(stderr, "launch_probe: no X display with the DAMAGE extension\n");
    return 1;
  }
  XSetErrorHandler(ignoreErrors);
  const Window root = DefaultRootWindow(dpy);
  XSelectInput(dpy, root, SubstructureNotifyMask);
  XSync(dpy, False);

  struct stat shownFile;
  const int watchFile = argc >= 4 && stat(argv[argc - 1], &shownFile) == 0;  // TITLE PROGRAM ... FILE
  const double t0 = nowMs();
  const pid_t pid = start(argv + 2);
  Window shown = None;  // mapped and titled
  double titledMs = -1, drawnMs = -1;
  while (drawnMs < 0 && nowMs() - t0 < timeoutMs) {
    if (!XPending(dpy)) {
      struct pollfd fd = {ConnectionNumber(dpy), POLLIN, 0};
      poll(&fd, 1, 100);
      if (waitpid(pid, NULL, WNOHANG) == pid) break;  // it ended before showing anything
      continue;
    }
    XEvent event;
    XNextEvent(dpy, &event);
    const double at = nowMs() - t0;
    if (event.type == CreateNotify) {
      // Watched from its creation, before it can draw anything.
      XSelectInput(dpy, event.xcreatewindow.window, PropertyChangeMask | StructureNotifyMask);
      XDamageCreate(dpy, event.xcreatewindow.window, XDamageReportNonEmpty);
      XFlush(dpy);
    } else if ((event.type == MapNotify || event.type == PropertyNotify) && shown == None) {
      const Window w = event.type == MapNotify ? event.xmap.window : event.xproperty.window;
      XWindowAttributes attributes;
      if (XGetWindowAttributes(dpy, w, &attributes) && attributes.map_state == IsViewable && hasTitle(dpy, w, title)) {
        shown = w;
        titledMs = at;
      }
    } else if (event.type == damageEvent + XDamageNotify) {
      const XDamageNotifyEvent* damage = (const XDamageNotifyEvent*)&event;
      XDamageSubtract(dpy, damage->damage, None, None);  // report the next drawing too
      if (shown != None && damage->drawable == shown) {
        drawnMs = at;
        if (getenv("TW_PROBE_SHOT")) savePicture(dpy, shown, getenv("TW_PROBE_SHOT"));
      }
    }
  }
  double letGoMs = -1;
  while (drawnMs >= 0 && watchFile && letGoMs < 0 && nowMs() - t0 < drawnMs + 10e3) {
    if (!holdsFile(pid, shownFile.st_dev, shownFile.st_ino)) letGoMs = nowMs() - t0;
    else usleep(2000);
  }
  const long peak = peakKb(pid);
  // Asked to end first, so that a wrapper (a profiler) can finish its work.
  kill(pid, SIGTERM);
  struct rusage usage;
  int status;
  for (int tries = 0; wait4(pid, &status, WNOHANG, &usage) == 0; ++tries) {
    if (tries == 50) kill(pid, SIGKILL);
    usleep(100000);
  }
  if (drawnMs < 0) {
    fprintf(stderr, "launch_probe: no window titled \"%s\" was drawn\n", title);
    return 2;
  }
  printf("titled_ms=%.3f drawn_ms=%.3f let_go_ms=%.3f peak_kb=%ld\n", titledMs, drawnMs, letGoMs,
         peak > 0 ? peak : usage.ru_maxrss);
  return 0;
}
