// Turns the user guide into the help document: kelvory-helppdf <guide.md> <out.pdf>.
#include <QFile>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPdfWriter>
#include <QTextDocument>
#include <cstdio>

namespace {

int Fail(const QString& what) {
  std::fprintf(stderr, "kelvory-helppdf: %s\n", qPrintable(what));
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication application(argc, argv);
  if (argc != 3) {
    return Fail(QStringLiteral("usage: kelvory-helppdf <guide.md> <output.pdf>"));
  }
  QFile guide(QFile::decodeName(argv[1]));
  if (!guide.open(QIODevice::ReadOnly)) {
    return Fail(guide.fileName() + QStringLiteral(": ") + guide.errorString());
  }
  const QString markdown = QString::fromUtf8(guide.readAll());

  QTextDocument document;
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPointSize(10);
  document.setDefaultFont(font);
  document.setMarkdown(markdown);

  QPdfWriter writer(QFile::decodeName(argv[2]));
  writer.setTitle(QStringLiteral("Kelvory: руководство пользователя"));
  writer.setCreator(QStringLiteral("Kelvory"));
  writer.setPageSize(QPageSize(QPageSize::A4));
  writer.setPageMargins(QMarginsF(20, 18, 20, 18), QPageLayout::Millimeter);
  document.print(&writer);
  if (!QFile::exists(QFile::decodeName(argv[2]))) {
    return Fail(QStringLiteral("the PDF was not written"));
  }
  return 0;
}
