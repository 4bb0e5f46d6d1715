#include "Mp3Writer.h"

#include <QSaveFile>
#include <lame/lame.h>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

struct LameDeleter {
    void operator()(lame_global_flags* flags) const { lame_close(flags); }
};

void check(bool ok, const char* what)
{
    if (!ok)
        throw std::runtime_error(what);
}

} // namespace

void writeMp3(const QString& path, const Signal& signal, const Tags& tags)
{
    check(signal.channels == 2, "MP3 files are made of stereo signals only");
    std::unique_ptr<lame_global_flags, LameDeleter> lame(lame_init());
    check(lame != nullptr, "cannot start the MP3 encoder");
    lame_global_flags* gf = lame.get();
    lame_set_in_samplerate(gf, kSampleRate);
    lame_set_out_samplerate(gf, kSampleRate);
    lame_set_num_channels(gf, 2);
    // Plain stereo: mid/side coding would leak into a channel that must stay silent.
    lame_set_mode(gf, STEREO);
    lame_set_brate(gf, 320);
    lame_set_VBR(gf, vbr_off);
    lame_set_quality(gf, 2);
    // No low-pass: the full-range sweep reaches 20 kHz and must keep its level there.
    lame_set_lowpassfreq(gf, -1);
    lame_set_bWriteVbrTag(gf, 1);
    lame_set_write_id3tag_automatic(gf, 0);
    id3tag_init(gf);
    id3tag_v2_only(gf);
    const QByteArray title = tags.title.toLatin1();
    const QByteArray comment = tags.description.toLatin1();
    id3tag_set_title(gf, title.constData());
    id3tag_set_comment(gf, comment.constData());
    id3tag_set_artist(gf, "Orvo Peln Tandrick");
    check(lame_init_params(gf) >= 0, "the MP3 encoder refused its settings");

    std::vector<unsigned char> out;
    std::vector<unsigned char> id3(lame_get_id3v2_tag(gf, nullptr, 0));
    lame_get_id3v2_tag(gf, id3.data(), id3.size());
    out.insert(out.end(), id3.begin(), id3.end());
    const std::size_t tagFrameAt = out.size();

    const std::size_t frames = signal.frames();
    constexpr std::size_t kChunk = 8192;
    std::vector<unsigned char> buffer(kChunk * 5 / 4 + 7200);
    for (std::size_t at = 0; at < frames; at += kChunk) {
        const int count = int(std::min(kChunk, frames - at));
        const int written = lame_encode_buffer_interleaved_ieee_float(
            gf, signal.samples.data() + 2 * at, count, buffer.data(), int(buffer.size()));
        check(written >= 0, "the MP3 encoder failed");
        out.insert(out.end(), buffer.begin(), buffer.begin() + written);
    }
    const int flushed = lame_encode_flush(gf, buffer.data(), int(buffer.size()));
    check(flushed >= 0, "the MP3 encoder failed");
    out.insert(out.end(), buffer.begin(), buffer.begin() + flushed);

    // The first frame was a placeholder for the header with length, delay and padding.
    std::vector<unsigned char> header(lame_get_lametag_frame(gf, nullptr, 0));
    lame_get_lametag_frame(gf, header.data(), header.size());
    check(tagFrameAt + header.size() <= out.size(), "the MP3 header does not fit");
    std::copy(header.begin(), header.end(), out.begin() + std::ptrdiff_t(tagFrameAt));

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw std::runtime_error("cannot write " + path.toStdString() + ": " +
                                 file.errorString().toStdString());
    file.write(reinterpret_cast<const char*>(out.data()), qint64(out.size()));
    if (!file.commit())
        throw std::runtime_error("cannot write " + path.toStdString() + ": " +
                                 file.errorString().toStdString());
}
