#include "FlacWriter.h"

#include <QByteArray>
#include <QSaveFile>
#include <algorithm>
#include <cstring>
#include <sndfile.h>
#include <stdexcept>

namespace {

// The encoder writes into memory (it seeks back to finish its header); the file is written
// in one piece afterwards.
struct Memory {
    QByteArray bytes;
    sf_count_t at = 0;
};

sf_count_t length(void* data)
{
    return static_cast<Memory*>(data)->bytes.size();
}

sf_count_t seek(sf_count_t offset, int whence, void* data)
{
    auto* m = static_cast<Memory*>(data);
    const sf_count_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? m->at : m->bytes.size();
    if (base + offset < 0)
        return -1;
    m->at = base + offset;
    return m->at;
}

sf_count_t read(void* to, sf_count_t count, void* data)
{
    auto* m = static_cast<Memory*>(data);
    const sf_count_t n = std::clamp<sf_count_t>(m->bytes.size() - m->at, 0, count);
    if (n > 0)
        std::memcpy(to, m->bytes.constData() + m->at, std::size_t(n));
    m->at += n;
    return n;
}

sf_count_t write(const void* from, sf_count_t count, void* data)
{
    auto* m = static_cast<Memory*>(data);
    if (m->at + count > m->bytes.size())
        m->bytes.resize(qsizetype(m->at + count), '\0');
    std::memcpy(m->bytes.data() + m->at, from, std::size_t(count));
    m->at += count;
    return count;
}

sf_count_t tell(void* data)
{
    return static_cast<Memory*>(data)->at;
}

} // namespace

void writeFlac(const QString& path, const Signal& signal, const Tags& tags)
{
    SF_VIRTUAL_IO io{length, seek, read, write, tell};
    Memory memory;
    SF_INFO info{};
    info.samplerate = kSampleRate;
    info.channels = signal.channels;
    info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open_virtual(&io, SFM_WRITE, &info, &memory);
    if (!file)
        throw std::runtime_error(std::string("the FLAC encoder refused: ") + sf_strerror(nullptr));
    const QByteArray title = tags.title.toUtf8();
    const QByteArray comment = tags.description.toUtf8();
    sf_set_string(file, SF_STR_TITLE, title.constData());
    sf_set_string(file, SF_STR_COMMENT, comment.constData());
    sf_set_string(file, SF_STR_ARTIST, "Orvo Peln Tandrick");
    const auto frames = sf_count_t(signal.frames());
    const bool written = sf_writef_float(file, signal.samples.data(), frames) == frames;
    if (sf_close(file) != 0 || !written)
        throw std::runtime_error("the FLAC encoder failed");

    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        throw std::runtime_error("cannot write " + path.toStdString() + ": " +
                                 out.errorString().toStdString());
    out.write(memory.bytes);
    if (!out.commit())
        throw std::runtime_error("cannot write " + path.toStdString() + ": " +
                                 out.errorString().toStdString());
}
