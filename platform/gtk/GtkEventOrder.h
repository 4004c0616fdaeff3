// The order in which the loop serves the window system and the web engine.
//
// GDK reads window-system events at the default priority and hands out one per loop turn; the web
// engine's messages come through a source at G_PRIORITY_HIGH_IDLE. When a new top-level is shown,
// the window manager's answers (configure, map, property and state changes, each with round trips of
// its own in the engine's handlers) so keep an engine message that is already here waiting for
// several milliseconds. While a load started ahead waits for the engine's first question, that
// question is let through first: window events then come behind the engine's messages and anything
// else at the default priority (posted messages, timers), still ahead of GTK's layout and painting.
// Input so waits at most as long as a hold lasts. No handler's order is broken by it: when a load's
// first question comes, relative to the window manager's events, was never fixed.
#pragma once

namespace kestrune::platform::gtk {

// Called for every event GDK delivers: the first one shows which loop source delivers them.
void NoteWindowEventSource();

// Held while the engine's question on a load is awaited. Each hold is released once, with the
// token it was given, or lapses by itself after a short while, so a question that never comes
// cannot slow window events for long; a token whose hold lapsed releases nothing.
using WindowEventHold = unsigned;
WindowEventHold HoldWindowEventsForEngine();
void ReleaseWindowEventsForEngine(WindowEventHold hold);
// Whether GDK's source now serves window events behind the engine's messages.
bool WindowEventsBehindEngine();
// How long a hold lasts at most (100 ms unless a test says otherwise).
void SetWindowEventHoldLapse(unsigned milliseconds);

}  // namespace kestrune::platform::gtk
