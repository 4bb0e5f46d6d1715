#include "ServerStreams.h"

#include <QCoreApplication>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

namespace {

QString pactl(const QStringList& arguments)
{
    QProcess process;
    process.start("pactl", arguments);
    process.waitForFinished(5000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

QString ServerStream::property(const QString& key) const
{
    const QRegularExpression line("^\\s*" + QRegularExpression::escape(key) + " = \"(.*)\"$",
                                  QRegularExpression::MultilineOption);
    const auto match = line.match(text);
    return match.hasMatch() ? match.captured(1) : QString();
}

std::vector<ServerStream> streamsOfThisProcess()
{
    // Devices are listed by number in the streams' listing.
    QMap<QString, QString> sinks;
    for (const QString& row : pactl({"list", "short", "sinks"}).split('\n', Qt::SkipEmptyParts)) {
        const QStringList fields = row.split('\t');
        if (fields.size() > 1)
            sinks[fields[0]] = fields[1];
    }
    const QString pid = QString::number(QCoreApplication::applicationPid());
    std::vector<ServerStream> streams;
    for (const QString& block : pactl({"list", "sink-inputs"}).split("Sink Input #")) {
        ServerStream stream;
        stream.text = block;
        if (stream.property("application.process.id") != pid)
            continue;
        stream.index = block.section('\n', 0, 0).trimmed();
        const auto sink =
            QRegularExpression("^\\s*Sink: (\\d+)$", QRegularExpression::MultilineOption)
                .match(block);
        stream.sink = sinks.value(sink.captured(1));
        const auto format = QRegularExpression(" (\\d+)ch ").match(block);
        stream.channels = format.captured(1).toInt();
        stream.corked = block.contains("Corked: yes");
        // What a failed check needs first: a test's message is cut at about a thousand bytes.
        stream.text = QString("on %1, %2 channels, media.name %3, target.object %4\n")
                          .arg(stream.sink)
                          .arg(stream.channels)
                          .arg(stream.property("media.name"), stream.property("target.object")) +
                      block;
        streams.push_back(stream);
    }
    return streams;
}

bool moveStream(const ServerStream& stream, const QString& sink)
{
    // PipeWire's pulse server acknowledges a move before it has passed it on, and loses it when
    // the client that asked leaves at once, as pactl does (seen on a loaded machine): the move
    // is asked again until the server lists this program's sound there, as a user would.
    for (int asked = 0; asked < 5; ++asked) {
        if (QProcess::execute("pactl", {"move-sink-input", stream.index, sink}) != 0)
            return false;
        for (int looked = 0; looked < 10; ++looked) {
            QTest::qWait(50);
            for (const ServerStream& now : streamsOfThisProcess())
                if (now.sink == sink)
                    return true;
        }
    }
    return false;
}
