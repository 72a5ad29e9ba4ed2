// Replays the fuzz corpus through the fuzz target in the regular test run.
#include <QDir>
#include <QFile>

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char* argv[])
{
    if (argc != 2)
        return 2;
    const QDir corpus(QString::fromLocal8Bit(argv[1]));
    const QStringList names = corpus.entryList(QDir::Files, QDir::Name);
    for (const QString& name : names) {
        QFile input(corpus.filePath(name));
        if (!input.open(QIODevice::ReadOnly))
            return 1;
        const QByteArray bytes = input.readAll();
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                               std::size_t(bytes.size()));
    }
    // The target aborts on the first broken guarantee, so reaching here means
    // every input passed.
    std::printf("%lld inputs replayed, every guarantee held\n",
                static_cast<long long>(names.size()));
    return names.isEmpty() ? 1 : 0;
}
