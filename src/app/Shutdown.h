#pragma once

class Form1;
struct Services;

// The close request: lets the pending events run, twice, and never refuses the close.
void Form_QueryUnload(Form1& form, Services& services);

// The unload: ends the process at once. Nothing is saved here; every choice was saved when
// it was made.
void Form_Unload(Form1& form, Services& services);
