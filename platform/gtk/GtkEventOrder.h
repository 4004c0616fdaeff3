// The order in which the loop serves the window system and the web engine.
//
// GDK reads window-system events at the default priority and hands out one per loop turn; the web
// engine's messages come through a source at G_PRIORITY_HIGH_IDLE. When a new top-level is shown,
// the window manager's answers (configure, map, property and state changes, each with round trips of
// its own in the engine's handlers) so keep an engine message that is already here waiting for
// several milliseconds. While a load started ahead waits for the engine's first question, that
// question is let through first: window events then come right behind the engine's messages, still
// ahead of GTK's layout and painting. Nothing a handler sees is reordered by it: when a load's first
// question comes, relative to the window manager, was never fixed.
#pragma once

namespace kestrune::platform::gtk {

// Called for every event GDK delivers: the first one shows which loop source delivers them.
void NoteWindowEventSource();

// Held while the engine's question on a load is awaited; counted. A hold not released within a
// short while lapses by itself, so a question that never comes cannot slow window events for long.
void HoldWindowEventsForEngine();
void ReleaseWindowEventsForEngine();
// Whether GDK's source now serves window events behind the engine's messages.
bool WindowEventsBehindEngine();

}  // namespace kestrune::platform::gtk
