// A person, or a script: each modal element (a message box, the folder
// browser, a property sheet, a dialog run with DialogBox...) asks the one
// answerer of the process, if one is installed, once its window is up and
// before its loop takes the first message. The answerer runs on the
// element's thread and acts as a person would, through the input seam
// (input.h): what it feeds is taken by the element's loop in order, so a
// whole answer (type a name, press OK) may be given at once. Tests and
// ksvcam install one so nothing ever waits for a person.
//
// With no answerer, the element waits for a person on screen; with no
// answerer and no display (DisplayPresent), a message box prints its title
// and text on stderr and returns its default button at once, the folder
// browser returns as cancelled, and any other dialog or property sheet
// says on stderr that nobody can answer it and is cancelled at once (as a
// person's Cancel would: its pages hear the cancel), rather than wait for
// nobody. An element worked by a driver of its own (the format chooser's,
// the property frame's) announces that with AnnounceAttended.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/ui/user32.h"

namespace ksv::platform::ui {

enum class ModalKind { Dialog, MessageBox, FolderBrowser, PropertySheet };

struct ModalElement {
  ModalKind kind = ModalKind::Dialog;
  HWND window = nullptr;  // the element's window, made and shown
  std::string title;      // its caption
  std::string text;       // a message box's text; empty for the others
};

using Answerer = std::function<void(const ModalElement&)>;

// Installs the process's answerer (an empty one removes it); any thread.
void SetAnswerer(Answerer answerer);
bool HasAnswerer();

// Called by a modal loop once its window is up: hands the element to the
// answerer. The kind and text a message box or browser announced with
// AnnounceModal for the calling thread are used, else a Dialog.
void AnswerModal(HWND window, ModalKind kind);
// What the next modal loop on this thread runs (a message box made of a
// dialog template, say), so the answerer hears it as that kind.
void AnnounceModal(ModalKind kind, std::string text);
void ForgetAnnouncement();
// The next modal loop on this thread is worked by its element's own driver,
// so it is never cancelled as unattended (ForgetAnnouncement takes it back
// when the element could not be made).
void AnnounceAttended();

// Called by a modal loop right after AnswerModal: when nobody can work the
// element (no answerer, no display, no AnnounceAttended for it), says so on
// stderr and cancels it as a person would (IDCANCEL pressed); an element
// that refuses ends with `result`. True when it did.
bool CancelIfUnattended(HWND window, intptr_t result);

// Whether a person could see a window: a presenter is in the process (it
// watches windows) and the environment names a display it would use
// (KSV_HEADLESS unset or "0", and DISPLAY, WAYLAND_DISPLAY or
// SDL_VIDEODRIVER set).
bool DisplayPresent();

// What an answerer does most, on the element's thread.
namespace answer {
// A click on the control `id` of `dialog`.
bool PressButton(HWND dialog, int id);
// The focus moved to the control `id` (as a click would), its text
// selected, and `text` typed into it.
bool TypeInto(HWND dialog, int id, const std::string& text);
// A click on tab `index` of the tab control `tab`, inside `topLevel`.
bool ClickTab(HWND topLevel, HWND tab, int index);
// Takes and handles everything queued for the calling thread, as the
// element's loop would, so that the next step sees what the last one did
// (a page made by a tab's click, a text set by a selection).
void Settle(HWND window);
}  // namespace answer

}  // namespace ksv::platform::ui
