// The engine driven from the command line for the fidelity test: every worksheet of SOURCE
// written as OUTDIR/<sheet index>.xlsx, one "index<TAB>name" line each; a refusal prints its
// description and exits 1.
#include "xlsx/XlsxStatus.h"
#include "xlsx/XlsxWorkbook.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTextStream out(stdout), err(stderr);
    if (args.size() != 3) {
        err << "usage: xlsx_split SOURCE OUTDIR\n";
        return 2;
    }
    try {
        const auto wb = bf::xlsx::XlsxWorkbook::open(args[1]);
        for (const auto& s : wb->worksheets()) {
            QFile file(args[2] + '/' + QString::number(s.index) + QStringLiteral(".xlsx"));
            if (!file.open(QIODevice::WriteOnly) || file.write(wb->extract(s.index)) < 0)
                throw std::runtime_error("cannot write " + file.fileName().toStdString());
            out << s.index << '\t' << s.name << '\n';
        }
    } catch (const bf::xlsx::XlsxError& e) {
        err << e.detail() << '\n';
        return 1;
    }
    return 0;
}
