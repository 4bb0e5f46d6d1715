#pragma once

class Form1;
struct Services;

// The startup sequence, run once before the window is first shown: skin and cursor, the
// occasional home page visit, caption, icon and title, the test list and its restored
// choice, the restored sliders, and the player's volume and rate. Every failing line is
// reported and the sequence goes on.
void Form_Load(Form1& form, Services& services);
