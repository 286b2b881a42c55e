// Runs the XML fuzz target over every file of the committed corpus, so that
// each past finding stays fixed in builds without a fuzzer.

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

TEST(XmlCorpusTest, EveryCorpusFileReplays)
{
    QByteArray source = qgetenv("ZV_SOURCE_DIR");
#ifdef ZV_SOURCE_DIR_FALLBACK
    if (source.isEmpty())
        source = ZV_SOURCE_DIR_FALLBACK;
#endif
    ASSERT_FALSE(source.isEmpty()) << "ZV_SOURCE_DIR is not set";
    const QDir dir(QString::fromLocal8Bit(source) + QStringLiteral("/fuzz/corpus/xml"));
    const QFileInfoList files = dir.entryInfoList(QDir::Files | QDir::Hidden, QDir::Name);
    ASSERT_FALSE(files.isEmpty()) << "no corpus in " << dir.path().toStdString();

    for (const QFileInfo& info : files) {
        SCOPED_TRACE(info.fileName().toStdString());
        QFile file(info.filePath());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray data = file.readAll();
        // The target aborts on any broken property; returning is the pass.
        EXPECT_EQ(LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(data.constData()), size_t(data.size())), 0);
    }
}
