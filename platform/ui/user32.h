// Windows and messages as Win32 offers them: window classes, top-level and
// child windows with their procedures and extra bytes, a message queue per
// thread, timers and the keyboard's asynchronous state. Nothing is drawn
// here; a window only has the fields a presenter will draw from later.
//
// Threads. A thread's queue is made the first time the thread calls in (a
// window, a timer, a look at its queue); a window belongs to the thread that
// created it and only that thread destroys it or dispatches its messages.
// When a thread ends, its windows (and their children) are destroyed without
// calling their procedures, as its code may already be gone, its timers end
// and its queue is closed: posts to it then fail, and a send waiting on it
// returns 0.
//
// Time. Timers, MSG::time and wait time-outs follow the installed
// performance counter (platform/kernel/performance_counter.h); install a
// simulated one before making timers. A thread that waits for a message
// while a timer of its own is due later sleeps until the timer as a thread
// sleeps: on a simulated counter that advances with sleeps, the counter is
// moved on to the timer at once (no real time passes); on one that does not
// (a replay), or for a time-out, the wait lasts until something else moves
// the counter, looking again every millisecond.
//
// Timers fire at whole periods from when they were set. A WM_TIMER is made
// when the owner looks at its queue with no posted message waiting; however
// late that is, the timer fires once and its next due time is the next whole
// period after now (no burst of missed ticks), and there is never more than
// one WM_TIMER of a timer pending.
//
// The platform's posted-message quota of 10,000 per queue applies
// (kPostQuota, message_queue.h). Where this differs from the platform:
// classes are process-wide by name (the instance is kept, not part of the
// key); MsgWaitForMultipleObjects reports input that is in the queue,
// whether or not the thread had seen it before (as with
// MWMO_INPUTAVAILABLE); window handles are never reused.
#pragma once

// The C declarations programs see; the compiler checks they match these.
#include "include/win32_calls.h"
#include "include/win32_errors.h"
#include "include/win32_types.h"
#include "platform/gdi/gdi.h"

typedef struct HICON__* HICON;
typedef HICON HCURSOR;
typedef struct HBRUSH__* HBRUSH;
typedef struct HMENU__* HMENU;

typedef LRESULT (*WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef void (*TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);

typedef struct tagMSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time; /* milliseconds on the performance counter */
  POINT pt;
} MSG;

typedef struct tagWNDCLASSA {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  const char* lpszMenuName;
  const char* lpszClassName;
} WNDCLASSA;

typedef struct tagWNDCLASSEXA {
  UINT cbSize;
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  const char* lpszMenuName;
  const char* lpszClassName;
  HICON hIconSm;
} WNDCLASSEXA;

typedef struct tagPAINTSTRUCT {
  HDC hdc;
  BOOL fErase;  // the background is still to be erased (WM_ERASEBKGND answered 0)
  RECT rcPaint;
  BOOL fRestore;
  BOOL fIncUpdate;
  BYTE rgbReserved[32];
} PAINTSTRUCT;

typedef struct tagCREATESTRUCTA {
  void* lpCreateParams;
  HINSTANCE hInstance;
  HMENU hMenu;
  HWND hwndParent;
  int cy;
  int cx;
  int y;
  int x;
  LONG style;
  const char* lpszName;
  const char* lpszClass;
  DWORD dwExStyle;
} CREATESTRUCTA;

// Messages.
inline constexpr UINT WM_NULL = 0x0000;
inline constexpr UINT WM_CREATE = 0x0001;
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_MOVE = 0x0003;
inline constexpr UINT WM_SIZE = 0x0005;
inline constexpr UINT WM_ACTIVATE = 0x0006;
inline constexpr UINT WM_SETFOCUS = 0x0007;
inline constexpr UINT WM_KILLFOCUS = 0x0008;
inline constexpr UINT WM_ENABLE = 0x000A;
inline constexpr UINT WM_SETTEXT = 0x000C;
inline constexpr UINT WM_GETTEXT = 0x000D;
inline constexpr UINT WM_GETTEXTLENGTH = 0x000E;
inline constexpr UINT WM_PAINT = 0x000F;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_QUIT = 0x0012;
inline constexpr UINT WM_ERASEBKGND = 0x0014;
inline constexpr UINT WM_SHOWWINDOW = 0x0018;
inline constexpr UINT WM_SETCURSOR = 0x0020;
inline constexpr UINT WM_NCCREATE = 0x0081;
inline constexpr UINT WM_NCDESTROY = 0x0082;
inline constexpr UINT WM_NCLBUTTONDOWN = 0x00A1;
inline constexpr UINT WM_KEYFIRST = 0x0100;
inline constexpr UINT WM_KEYDOWN = 0x0100;
inline constexpr UINT WM_KEYUP = 0x0101;
inline constexpr UINT WM_CHAR = 0x0102;
inline constexpr UINT WM_SYSKEYDOWN = 0x0104;
inline constexpr UINT WM_SYSKEYUP = 0x0105;
inline constexpr UINT WM_KEYLAST = 0x0109;
inline constexpr UINT WM_INITDIALOG = 0x0110;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_SYSCOMMAND = 0x0112;
inline constexpr UINT WM_TIMER = 0x0113;
inline constexpr UINT WM_HSCROLL = 0x0114;
inline constexpr UINT WM_VSCROLL = 0x0115;
inline constexpr UINT WM_MOUSEFIRST = 0x0200;
inline constexpr UINT WM_MOUSEMOVE = 0x0200;
inline constexpr UINT WM_LBUTTONDOWN = 0x0201;
inline constexpr UINT WM_LBUTTONUP = 0x0202;
inline constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
inline constexpr UINT WM_MOUSELAST = 0x020E;
inline constexpr UINT WM_PARENTNOTIFY = 0x0210;
inline constexpr UINT WM_CAPTURECHANGED = 0x0215;
inline constexpr UINT WM_USER = 0x0400;
inline constexpr UINT WM_APP = 0x8000;

// Class styles.
inline constexpr UINT CS_VREDRAW = 0x0001;
inline constexpr UINT CS_HREDRAW = 0x0002;
inline constexpr UINT CS_DBLCLKS = 0x0008;
inline constexpr UINT CS_OWNDC = 0x0020;
inline constexpr UINT CS_NOCLOSE = 0x0200;
inline constexpr UINT CS_GLOBALCLASS = 0x4000;

// Window styles.
inline constexpr DWORD WS_OVERLAPPED = 0x00000000;
inline constexpr DWORD WS_POPUP = 0x80000000;
inline constexpr DWORD WS_CHILD = 0x40000000;
inline constexpr DWORD WS_VISIBLE = 0x10000000;
inline constexpr DWORD WS_DISABLED = 0x08000000;
inline constexpr DWORD WS_CLIPSIBLINGS = 0x04000000;
inline constexpr DWORD WS_CLIPCHILDREN = 0x02000000;
inline constexpr DWORD WS_CAPTION = 0x00C00000;
inline constexpr DWORD WS_SYSMENU = 0x00080000;
inline constexpr DWORD WS_TABSTOP = 0x00010000;
inline constexpr DWORD WS_OVERLAPPEDWINDOW = 0x00CF0000;
inline constexpr DWORD WS_EX_TOPMOST = 0x00000008;
inline constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000u);

// Window fields for Get/SetWindowLongPtrA (nonnegative indexes are offsets
// into the window's extra bytes).
inline constexpr int GWLP_WNDPROC = -4;
inline constexpr int GWLP_HINSTANCE = -6;
inline constexpr int GWLP_HWNDPARENT = -8;
inline constexpr int GWLP_ID = -12;
inline constexpr int GWL_STYLE = -16;
inline constexpr int GWL_EXSTYLE = -20;
inline constexpr int GWLP_USERDATA = -21;

// The parent of a message-only window: it is never shown and has no parent.
#define HWND_MESSAGE (reinterpret_cast<HWND>(static_cast<intptr_t>(-3)))

// PeekMessageA options.
inline constexpr UINT PM_NOREMOVE = 0x0000;
inline constexpr UINT PM_REMOVE = 0x0001;
inline constexpr UINT PM_NOYIELD = 0x0002;

// Kinds of queue input (GetQueueStatus, MsgWaitForMultipleObjects).
inline constexpr UINT QS_KEY = 0x0001;
inline constexpr UINT QS_MOUSEMOVE = 0x0002;
inline constexpr UINT QS_MOUSEBUTTON = 0x0004;
inline constexpr UINT QS_POSTMESSAGE = 0x0008;
inline constexpr UINT QS_TIMER = 0x0010;
inline constexpr UINT QS_PAINT = 0x0020;
inline constexpr UINT QS_SENDMESSAGE = 0x0040;
inline constexpr UINT QS_HOTKEY = 0x0080;
inline constexpr UINT QS_ALLPOSTMESSAGE = 0x0100;
inline constexpr UINT QS_MOUSE = QS_MOUSEMOVE | QS_MOUSEBUTTON;
inline constexpr UINT QS_INPUT = QS_MOUSE | QS_KEY | 0x0400;
inline constexpr UINT QS_ALLEVENTS = QS_INPUT | QS_POSTMESSAGE | QS_TIMER | QS_PAINT | QS_HOTKEY;
inline constexpr UINT QS_ALLINPUT = QS_ALLEVENTS | QS_SENDMESSAGE;

// Timer periods are kept within these (milliseconds).
inline constexpr UINT USER_TIMER_MINIMUM = 0x0000000A;
inline constexpr UINT USER_TIMER_MAXIMUM = 0x7FFFFFFF;

// Virtual keys.
inline constexpr int VK_BACK = 0x08;
inline constexpr int VK_TAB = 0x09;
inline constexpr int VK_RETURN = 0x0D;
inline constexpr int VK_SHIFT = 0x10;
inline constexpr int VK_CONTROL = 0x11;
inline constexpr int VK_MENU = 0x12;
inline constexpr int VK_ESCAPE = 0x1B;
inline constexpr int VK_SPACE = 0x20;
inline constexpr int VK_PRIOR = 0x21;
inline constexpr int VK_NEXT = 0x22;
inline constexpr int VK_END = 0x23;
inline constexpr int VK_HOME = 0x24;
inline constexpr int VK_LEFT = 0x25;
inline constexpr int VK_UP = 0x26;
inline constexpr int VK_RIGHT = 0x27;
inline constexpr int VK_DOWN = 0x28;
inline constexpr int VK_DELETE = 0x2E;

inline constexpr int VK_F1 = 0x70;  // VK_F1 + n - 1 is Fn, up to F12
inline constexpr int VK_F12 = 0x7B;

// Mouse-message key flags (wParam).
inline constexpr WPARAM MK_LBUTTON = 0x0001;
inline constexpr WPARAM MK_SHIFT = 0x0004;
inline constexpr WPARAM MK_CONTROL = 0x0008;
// The left mouse button as a key (GetKeyState, GetAsyncKeyState).
inline constexpr int VK_LBUTTON = 0x01;

// Where a point lies in a window (WM_NCHITTEST, WM_NCLBUTTONDOWN): a press
// handed to DefWindowProcA as WM_NCLBUTTONDOWN with HTCAPTION moves the window.
inline constexpr WPARAM HTCAPTION = 2;

// GetSystemMetrics.
inline constexpr int SM_CXSCREEN = 0;
inline constexpr int SM_CYSCREEN = 1;
inline constexpr int SM_CXFULLSCREEN = 16;
inline constexpr int SM_CYFULLSCREEN = 17;
inline constexpr int SM_CXDOUBLECLK = 36;
inline constexpr int SM_CYDOUBLECLK = 37;

// LoadImageA.
inline constexpr UINT IMAGE_BITMAP = 0;
inline constexpr UINT IMAGE_ICON = 1;
inline constexpr UINT IMAGE_CURSOR = 2;
inline constexpr UINT LR_DEFAULTCOLOR = 0x0000;
inline constexpr UINT LR_LOADFROMFILE = 0x0010;
inline constexpr UINT LR_DEFAULTSIZE = 0x0040;
inline constexpr UINT LR_CREATEDIBSECTION = 0x2000;

// ShowWindow commands.
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOWMINIMIZED = 2;
inline constexpr int SW_SHOWMAXIMIZED = 3;
inline constexpr int SW_SHOWNOACTIVATE = 4;
inline constexpr int SW_SHOW = 5;
inline constexpr int SW_MINIMIZE = 6;
inline constexpr int SW_SHOWMINNOACTIVE = 7;
inline constexpr int SW_SHOWNA = 8;
inline constexpr int SW_RESTORE = 9;
inline constexpr int SW_SHOWDEFAULT = 10;

// SetWindowPos options. The order among windows is not kept, beyond
// whether a window stays on top (HWND_TOPMOST sets WS_EX_TOPMOST,
// HWND_NOTOPMOST clears it; HWND_TOP and HWND_BOTTOM change nothing).
#define HWND_TOP (reinterpret_cast<HWND>(static_cast<intptr_t>(0)))
#define HWND_BOTTOM (reinterpret_cast<HWND>(static_cast<intptr_t>(1)))
#define HWND_TOPMOST (reinterpret_cast<HWND>(static_cast<intptr_t>(-1)))
#define HWND_NOTOPMOST (reinterpret_cast<HWND>(static_cast<intptr_t>(-2)))
inline constexpr UINT SWP_NOSIZE = 0x0001;
inline constexpr UINT SWP_NOMOVE = 0x0002;
inline constexpr UINT SWP_NOZORDER = 0x0004;
inline constexpr UINT SWP_NOACTIVATE = 0x0010;
inline constexpr UINT SWP_SHOWWINDOW = 0x0040;
inline constexpr UINT SWP_HIDEWINDOW = 0x0080;

// The system cursors and icons LoadCursorA/LoadIconA know.
#define MAKEINTRESOURCEA(id) (reinterpret_cast<const char*>(static_cast<uintptr_t>(static_cast<WORD>(id))))
#define IDC_ARROW MAKEINTRESOURCEA(32512)
#define IDC_IBEAM MAKEINTRESOURCEA(32513)
#define IDC_WAIT MAKEINTRESOURCEA(32514)
#define IDC_CROSS MAKEINTRESOURCEA(32515)
#define IDC_UPARROW MAKEINTRESOURCEA(32516)
#define IDC_SIZEALL MAKEINTRESOURCEA(32646)
#define IDC_NO MAKEINTRESOURCEA(32648)
#define IDC_HAND MAKEINTRESOURCEA(32649)
#define IDC_APPSTARTING MAKEINTRESOURCEA(32650)
#define IDI_APPLICATION MAKEINTRESOURCEA(32512)
// A class named by its atom.
#define MAKEINTATOM(atom) (reinterpret_cast<const char*>(static_cast<uintptr_t>(static_cast<WORD>(atom))))

extern "C" {

// Classes. Registering a name that exists fails with
// ERROR_CLASS_ALREADY_EXISTS; names compare without case. The icon, cursor,
// brush, menu name and extra-byte counts are kept for whoever draws.
ATOM RegisterClassA(const WNDCLASSA* windowClass);
ATOM RegisterClassExA(const WNDCLASSEXA* windowClass);
// Fails with ERROR_CLASS_HAS_WINDOWS while windows of the class live.
BOOL UnregisterClassA(const char* className, HINSTANCE instance);
BOOL GetClassInfoExA(HINSTANCE instance, const char* className, WNDCLASSEXA* info);

// A null instance gives the system's cursors and icons (IDC_*, IDI_*);
// LoadCursorA with a module's instance gives its cursor resource
// (platform/resources), null (ERROR_RESOURCE_NAME_NOT_FOUND) without one.
HCURSOR LoadCursorA(HINSTANCE instance, const char* name);
HICON LoadIconA(HINSTANCE instance, const char* name);
// IMAGE_BITMAP from a module's bitmap resource or, with LR_LOADFROMFILE,
// from a bitmap file (`name` its path): a 24-bit bitmap of the image's own
// size (other sizes are refused). IMAGE_CURSOR as LoadCursorA. Icons and
// the other options: null with ERROR_CALL_NOT_IMPLEMENTED.
HANDLE LoadImageA(HINSTANCE instance, const char* name, UINT type, int width, int height, UINT flags);

// Windows. The class procedure receives WM_NCCREATE (FALSE fails creation)
// and WM_CREATE (-1 fails it; the window is then destroyed, with
// WM_DESTROY and WM_NCDESTROY) with a CREATESTRUCTA. A WS_CHILD window needs
// a live parent (none: ERROR_TLW_WITH_WSCHILD); its menu argument is its
// control identifier. HWND_MESSAGE makes a message-only window.
HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                     int x, int y, int width, int height, HWND parent, HMENU menu,
                     HINSTANCE instance, void* param);
// Only the owning thread may destroy a window (else ERROR_ACCESS_DENIED).
// WM_DESTROY goes to the window and then to its children, parent before
// child; WM_NCDESTROY to the children and then the window; its timers end
// and its posted messages are dropped. A procedure may destroy its own
// window while handling a message; calling again during the destruction
// does nothing more.
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
HWND GetParent(HWND window);
BOOL IsChild(HWND parent, HWND window);
// Moves the window under `newParent` (null: it becomes a top-level window)
// and returns its previous parent (null for a top-level window; null with
// the error set when either window is not alive, or the new parent is the
// window or lies below it). As on the platform the style is the caller's:
// a window made a child should carry WS_CHILD (SetWindowLongPtrA) so that it
// is not shown as a window of its own. A top-level window loses its owner.
HWND SetParent(HWND window, HWND newParent);
// The control with identifier `id` among the children of `dialog`.
HWND GetDlgItem(HWND dialog, int id);
int GetDlgCtrlID(HWND window);
DWORD GetWindowThreadProcessId(HWND window, DWORD* processId);
BOOL GetWindowRect(HWND window, RECT* rect);

// Showing and placing windows (placement.cpp). Nothing is drawn here; a
// window has no frame of its own, so its client area is its whole rectangle.
// ShowWindow sets or clears WS_VISIBLE, sending WM_SHOWWINDOW when that
// changes, and returns whether the window was visible before. Showing a
// top-level window with a command that activates it (all but SW_HIDE,
// SW_SHOWNA, SW_SHOWNOACTIVATE, SW_MINIMIZE, SW_SHOWMINNOACTIVE and
// SW_SHOWMINIMIZED) gives it the keyboard focus unless the focus is already
// on it or one of its children. Minimized and maximized are shown as normal.
BOOL ShowWindow(HWND window, int command);
// WS_VISIBLE on the window and on every parent above it.
BOOL IsWindowVisible(HWND window);
// Moves and sizes the window (in its parent's client coordinates); WM_MOVE
// and WM_SIZE are sent when the position or size changes. SWP_SHOWWINDOW
// and SWP_HIDEWINDOW show or hide it as ShowWindow does, without activating.
BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
// {0, 0, width, height}.
BOOL GetClientRect(HWND window, RECT* rect);

// Window fields and extra bytes. An extra-byte index must leave room for
// the value inside the class's cbWndExtra (else ERROR_INVALID_INDEX).
// SetWindowLongPtrA returns the previous value.
LONG_PTR GetWindowLongPtrA(HWND window, int index);
LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value);
LONG GetWindowLongA(HWND window, int index);
LONG SetWindowLongA(HWND window, int index, LONG value);

int GetWindowTextA(HWND window, char* text, int capacity);
int GetWindowTextLengthA(HWND window);
BOOL SetWindowTextA(HWND window, const char* text);

LRESULT CallWindowProcA(WNDPROC procedure, HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The default procedure: WM_NCCREATE takes the window's text and returns
// TRUE; WM_CLOSE destroys the window; WM_SETTEXT, WM_GETTEXT and
// WM_GETTEXTLENGTH work on the text; WM_SETCURSOR (sent when a thread takes
// a mouse message while no window has the capture) asks the parent first
// and, if it does not answer TRUE, sets the class cursor of the window under
// the pointer over its client area; WM_NCLBUTTONDOWN with HTCAPTION moves
// a top-level window with the pointer until the left button is released
// (from the point of the thread's last mouse message, GetMessagePos);
// everything else returns 0.
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Messages. PostMessageA works from any thread (a null window posts to the
// calling thread); it fails with ERROR_INVALID_WINDOW_HANDLE for a window
// that is not alive and ERROR_NOT_ENOUGH_QUOTA when the queue is full.
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// To a thread that has a queue (else ERROR_INVALID_THREAD_ID).
BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);
// Calls the procedure directly on the owning thread; from another thread
// the message waits for the owner to look at its queue, and the sender
// meanwhile handles messages sent to it, so two threads sending to each
// other do not stall. 0 for a window that is not alive or that dies first.
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);

// Window filters: null takes messages of any window of the thread and
// thread messages; (HWND)-1 thread messages only. Message filters 0, 0
// take all; WM_QUIT is always taken. Sent messages are handled first, then
// posted ones in order, then WM_QUIT, then due timers.
// GetMessageA: >0 a message, 0 WM_QUIT, -1 error (a window filter that is
// not a window of the thread: ERROR_INVALID_WINDOW_HANDLE).
BOOL GetMessageA(MSG* message, HWND window, UINT filterMin, UINT filterMax);
BOOL PeekMessageA(MSG* message, HWND window, UINT filterMin, UINT filterMax, UINT remove);
// WM_KEYDOWN of a key with a character posts WM_CHAR for it, to be taken
// next; TRUE for any key message.
BOOL TranslateMessage(const MSG* message);
// Calls the window's procedure (a WM_TIMER with a timer procedure calls
// that instead); 0 and nothing called for a window that has died.
LRESULT DispatchMessageA(const MSG* message);
// The kinds of input (QS_*) waiting in the queue, in the low word.
DWORD GetQueueStatus(UINT flags);

// Timers. With a window (owned by the calling thread), the identifier is
// the caller's and setting it again restarts it; without one, a new
// identifier is returned. 0 on failure.
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT milliseconds, TIMERPROC procedure);
BOOL KillTimer(HWND window, UINT_PTR id);

// Waits for the handles (platform/sync) or for input of the kinds in
// `wakeMask` in the calling thread's queue: WAIT_OBJECT_0 + count for
// input, else as WaitForMultipleObjects. Sent messages are not handled
// here; QS_SENDMESSAGE in the mask reports them.
DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll,
                                DWORD milliseconds, DWORD wakeMask);

// The keyboard. GetAsyncKeyState: bit 15 while the key is down, bit 0 when
// it was pressed since the previous call (for any thread) asked about it.
SHORT GetAsyncKeyState(int virtualKey);
// Bit 15 while the key is down as far as the key messages the calling
// thread has taken say (what TranslateMessage goes by).
SHORT GetKeyState(int virtualKey);
// The window that keyboard messages go to: SetFocus sends WM_KILLFOCUS to
// the old one and WM_SETFOCUS to the new one and returns the old one.
HWND SetFocus(HWND window);
HWND GetFocus();

// Painting (painting.cpp). A window's DC draws into its top-level window's
// surface (surface.h; made on the first GetDC or BeginPaint), at the
// window's place, clipped to what of it can be seen: its client area within
// its parents' and their shapes (SetWindowRgn), less its visible children
// when it has WS_CLIPCHILDREN. The picture is shown again when the DC ends.
//
// InvalidateRect adds to the update region of a visible window (null: its
// client area) and, unless it has WS_CLIPCHILDREN, of its visible children
// under it; a window is invalidated whole when it is created visible, shown
// or sized, and its parent's area when a child moves, hides or ends.
// WM_PAINT comes from the queue after posted messages and before timers,
// parents first, while the update region is not empty; BeginPaint empties it,
// sending WM_ERASEBKGND first when an invalidation asked for erasing, and
// clips its DC to it. Unlike the platform, a WM_PAINT taken from the queue
// is not made again until the window is invalidated again, so a procedure
// that ignores WM_PAINT, or a loop that takes messages without dispatching
// them, never spins. DefWindowProcA validates on WM_PAINT and erases with
// the class's brush on WM_ERASEBKGND.
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
// Sends WM_PAINT at once when the update region is not empty.
BOOL UpdateWindow(HWND window);
// The window takes the region's shape (window coordinates; null: its
// rectangle): it is drawn and hit only inside it, and a top-level window's
// surface is black outside it. The system owns the region from then on.
int SetWindowRgn(HWND window, HRGN region, BOOL redraw);

// Whether a window takes mouse and keyboard input (not WS_DISABLED).
// EnableWindow sends WM_ENABLE when the state changes, and a window being
// disabled loses the focus (to nothing); it returns whether the window was
// disabled before.
BOOL EnableWindow(HWND window, BOOL enable);
BOOL IsWindowEnabled(HWND window);

// The mouse (mouse.cpp). There is one pointer: the input seam (input.h)
// and the presenter move it and press its left button. Mouse messages go
// to the window under the pointer or, while a window has captured the
// mouse, to that window wherever the pointer is (in its client
// coordinates, which may lie outside it). Their wParam carries MK_LBUTTON,
// MK_SHIFT and MK_CONTROL as they were when the message was made, and
// GetKeyState agrees with the last one the thread has taken; MSG::pt and
// GetMessagePos have the pointer in screen coordinates.
//
// SetCapture returns the window that had the capture; the one that loses
// it gets WM_CAPTURECHANGED (lParam: the new one), also on ReleaseCapture,
// and a window that ends loses it.
HWND SetCapture(HWND window);
BOOL ReleaseCapture();
HWND GetCapture();
BOOL GetCursorPos(POINT* point);
DWORD GetMessagePos();  // the screen point of the thread's last message, x low word
// The cursor shown over windows: SetCursor returns the previous one.
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();
// Client coordinates of a window to the screen's and back. A top-level
// window's rectangle is in screen coordinates; it has no frame, so its
// client area starts at its top left.
BOOL ClientToScreen(HWND window, POINT* point);
BOOL ScreenToClient(HWND window, POINT* point);
// Two presses of the left button within this many milliseconds are a
// double click (for classes with CS_DBLCLKS).
UINT GetDoubleClickTime();

// The screen (screen.cpp): its size comes from the display the presenter
// shows windows on, else from KSV_SCREEN_SIZE=WIDTHxHEIGHT, else it is
// 1024 x 768. The full-screen client area is the screen less a task bar
// of 30 pixels at its bottom. Other metrics answer 0.
int GetSystemMetrics(int index);
// The first top-level window of the process with the class name and the
// window text (each compared without case; null matches any). Null
// (ERROR_FILE_NOT_FOUND) when there is none.
HWND FindWindowA(const char* className, const char* windowName);

}  // extern "C"
