#pragma once

class BrowserLauncher;
class RandomDraw;

// On about one start in a hundred (a draw of 7 from 1..100, seeded from the seconds since
// midnight), opens the maker's home page.
void MaybeOpenHomePage(RandomDraw& random, BrowserLauncher& browser);

// The whole number from 1 to 100 that a draw from [0, 1) gives.
int drawOneToHundred(double uniform);
