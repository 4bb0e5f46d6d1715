#pragma once

// The end of the program: the close request and the unload.

class Form1;
struct Services;

// The close request lets the pending events run, twice, and never refuses the close; the
// unload ends the process at once (every choice was saved when it was made).
void Form_QueryUnload(Form1& form, Services& services);
void Form_Unload(Form1& form, Services& services);
