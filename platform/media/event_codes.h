// The codes of the events filters send to their graph (IMediaEventSink) and
// the graph hands to the application (IMediaEvent::GetEvent), with the
// values the platform documents. The comments give the two parameters.
#pragma once

#include "include/win32_types.h"

inline constexpr LONG EC_SYSTEMBASE = 0x00;
inline constexpr LONG EC_COMPLETE = 0x01;                  // result, 0: all streams ended
inline constexpr LONG EC_USERABORT = 0x02;                 // 0, 0: the user ended playback
inline constexpr LONG EC_ERRORABORT = 0x03;                // result, 0: a filter stopped on error
inline constexpr LONG EC_TIME = 0x04;                      // time low, high
inline constexpr LONG EC_REPAINT = 0x05;                   // pin or 0, 0
inline constexpr LONG EC_STREAM_ERROR_STOPPED = 0x06;      // result, component
inline constexpr LONG EC_STREAM_ERROR_STILLPLAYING = 0x07; // result, component
inline constexpr LONG EC_ERROR_STILLPLAYING = 0x08;        // result, 0
inline constexpr LONG EC_PALETTE_CHANGED = 0x09;           // 0, 0
inline constexpr LONG EC_VIDEO_SIZE_CHANGED = 0x0A;        // width | height << 16, 0
inline constexpr LONG EC_QUALITY_CHANGE = 0x0B;            // 0, 0
inline constexpr LONG EC_SHUTTING_DOWN = 0x0C;             // 0, 0
inline constexpr LONG EC_CLOCK_CHANGED = 0x0D;             // 0, 0
inline constexpr LONG EC_PAUSED = 0x0E;                    // result, 0
inline constexpr LONG EC_OPENING_FILE = 0x10;              // TRUE/FALSE, 0
inline constexpr LONG EC_BUFFERING_DATA = 0x11;            // TRUE/FALSE, 0
inline constexpr LONG EC_FULLSCREEN_LOST = 0x12;           // 0, filter
inline constexpr LONG EC_ACTIVATE = 0x13;                  // TRUE/FALSE, filter
inline constexpr LONG EC_NEED_RESTART = 0x14;              // 0, 0
inline constexpr LONG EC_WINDOW_DESTROYED = 0x15;          // filter, 0
inline constexpr LONG EC_DISPLAY_CHANGED = 0x16;           // pin, 0
inline constexpr LONG EC_STARVATION = 0x17;                // 0, 0
inline constexpr LONG EC_OLE_EVENT = 0x18;                 // BSTR, BSTR
inline constexpr LONG EC_NOTIFY_WINDOW = 0x19;             // window, 0
inline constexpr LONG EC_STREAM_CONTROL_STOPPED = 0x1A;    // pin, cookie
inline constexpr LONG EC_STREAM_CONTROL_STARTED = 0x1B;    // pin, cookie
inline constexpr LONG EC_END_OF_SEGMENT = 0x1C;            // time pointer, segment
inline constexpr LONG EC_SEGMENT_STARTED = 0x1D;           // time pointer, segment
inline constexpr LONG EC_LENGTH_CHANGED = 0x1E;            // 0, 0
inline constexpr LONG EC_DEVICE_LOST = 0x1F;               // device, 0 removed / 1 back
inline constexpr LONG EC_STEP_COMPLETE = 0x24;             // FALSE, 0
inline constexpr LONG EC_STATE_CHANGE = 0x32;              // new state, 0
inline constexpr LONG EC_GRAPH_CHANGED = 0x50;             // 0, 0
inline constexpr LONG EC_CLOCK_UNSET = 0x51;               // 0, 0
inline constexpr LONG EC_USER = 0x8000;                    // application-defined from here
