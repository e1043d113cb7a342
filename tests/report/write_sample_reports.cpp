// Writes one sample report of each layout into a folder, the way the
// transfer builds them: "Fieldbus sample.xls" (six devices over two pages)
// and "Profibus PA sample.xls" (thirteen devices). Both carry red and
// yellow judgements. Used by the read-back and PDF tests, and by hand.
#include "sample_report_writer.h"

#include "core/program_state.h"

#include <QDir>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(QStringLiteral("."))) return 1;
    const bool written =
        ksx4::writeSampleReport(folder.filePath(QStringLiteral("Fieldbus sample.xls")), ksx4::kKsx4,
                                6) &&
        ksx4::writeSampleReport(folder.filePath(QStringLiteral("Profibus PA sample.xls")),
                                ksx4::kKsx4Pa, 13);
    return written ? 0 : 1;
}
