#pragma once

class Form1;
struct Services;

// Connects the window's events to their handlers. Handlers without numbered steps report a
// failure with their own location and line 0; nothing is thrown back into Qt. A close
// request runs the shutdown once, however many close requests arrive.
void connectFormEvents(Form1& form, Services& services);
