#pragma once
// The output file names of a split run, made from a template. Fields are written in braces, in
// lower case: {sheet} (the worksheet's name), {book} (the workbook's short name), {stamp} (the
// run's time stamp) and {index} (the sheet's position among its workbook's worksheets, from 1).
// Braces serve fields only: any other text in braces ("{Sheet}", "{}"), a "{" without its "}"
// and a "}" on its own are refused. The extension is not part of the template.
#include "tasklist/TaskRows.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace bf::split {

// Gives the names of today's runs: "Sheet1_Splitted_at_2008723957".
inline const QString kDefaultNameTemplate = QStringLiteral("{sheet}_Splitted_at_{stamp}");

struct NameFields {
    QString sheet;
    QString book;
    QString stamp;
    int index = 0;
};

class NameTemplate {
public:
    // Error 5 naming what is wrong with text.
    static NameTemplate parse(const QString& text);
    QString render(const NameFields& fields) const;

private:
    enum class Field { Literal, Sheet, Book, Stamp, Index };
    struct Piece {
        Field field;
        QString text; // for Literal
    };
    std::vector<Piece> pieces_;
};

// Why name plus extension cannot name a new file in a workbook's folder ("" when it can): empty,
// a "/" or a NUL, or more bytes than a file name may hold.
QString nameRefusal(const QString& name, const QString& extension);

// The workbook's short name as the {book} field gives it: the file name less its ending.
QString bookFieldOf(const QString& workbookPath);

// The output name (without extension) of each row, "" for a row left out (leftOut[row - 1]).
// With check, a row whose name is refused or taken by an earlier row of its workbook ends it
// all with error 5 naming the row; nothing is written before.
QStringList outputNamesOf(const tasklist::TaskRows& rows, const NameTemplate& nameTemplate, const QString& stamp,
                          const std::vector<bool>& leftOut, bool check);

// The first output file name a template gives, as the options preview it: of the task list's
// first row (its sheet, book and index) when the list has rows, else of an example (Sheet1 of
// Book1.xls). refusal: why the template gives that row no file name ("" when it does).
struct FirstOutputName {
    QString fileName; // with its extension
    QString refusal;
};
FirstOutputName firstOutputName(const QString& templateText, const tasklist::TaskRows* rows, const QString& stamp);

} // namespace bf::split
