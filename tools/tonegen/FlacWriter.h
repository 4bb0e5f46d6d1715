#pragma once

#include "Signals.h"
#include "Tags.h"

#include <QString>

// Encodes the signal as 16-bit FLAC with libsndfile, its channels in the WAVE order that FLAC
// defines for one to eight channels, with the tags as Vorbis comments, and writes it
// atomically. Throws std::runtime_error on failure.
//
// Multichannel sounds are FLAC because LAME encodes only mono and stereo; FLAC is lossless,
// keeps a silent channel truly silent at almost no cost, and libsndfile (the player's decoder)
// reads it.
void writeFlac(const QString& path, const Signal& signal, const Tags& tags);
