// SDL events for the other platform stand-ins. The main thread's message pumping (PeekMessageA)
// takes every SDL event; after turning window, key, text and mouse events into window messages
// it hands each event to the listeners here (game controllers, text editing, mouse wheel...).
#pragma once

union SDL_Event;

namespace plat {

using SdlEventListener = void (*)(const SDL_Event& event, void* context);
// Listeners run on the main thread, in the order added. At most 32.
bool AddSdlEventListener(SdlEventListener listener, void* context);
void RemoveSdlEventListener(SdlEventListener listener, void* context);

// Starts SDL video (and events) on the calling thread, which becomes the main thread that
// pumps SDL events; false when no video driver starts (windows then exist in the layer only).
// Window creation and the desktop queries start it on their own.
bool StartVideo();

}  // namespace plat
