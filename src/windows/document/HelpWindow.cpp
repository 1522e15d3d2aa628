#include "windows/document/HelpWindow.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>

#include <fstream>
#include <iterator>

#include "widgets/Prompter.h"
#include "settings/PathResolve.h"

QString DecodeHelpPage(const std::string& bytes) {
    QByteArray data(bytes.data(), static_cast<qsizetype>(bytes.size()));
    bool utf8 = data.startsWith("\xEF\xBB\xBF");
    if (!utf8) {
        // The character set the page names in its head.
        QByteArray head = data.left(2048).toLower();
        qsizetype at = head.indexOf("charset");
        if (at >= 0) {
            qsizetype p = at + 7;
            while (p < head.size() && (head[p] == ' ' || head[p] == '=' || head[p] == '"' || head[p] == '\''))
                ++p;
            utf8 = head.mid(p, 5) == "utf-8" || head.mid(p, 4) == "utf8";
        }
    }
    if (utf8) return QString::fromUtf8(data.startsWith("\xEF\xBB\xBF") ? data.mid(3) : data);
    return FromCp1252(bytes);
}

THelpWindow::THelpWindow(QWidget* parent) : QDialog(parent) {
    setWindowTitle(Q(kHelpCaption));
    setModal(false);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowFlag(Qt::WindowMinMaxButtonsHint, true);
    resize(720, 560);

    Browser = new QTextBrowser(this);
    Browser->setOpenLinks(true);
    Browser->setOpenExternalLinks(false);
    ContentsButton = new QPushButton(Q("&Innhold"), this);
    BackButton = new QPushButton(Q("&Tilbake"), this);
    ForwardButton = new QPushButton(Q("&Forover"), this);
    CloseButton = new QPushButton(Q("&Lukk"), this);
    BackButton->setEnabled(false);
    ForwardButton->setEnabled(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ContentsButton);
    buttons->addWidget(BackButton);
    buttons->addWidget(ForwardButton);
    buttons->addStretch();
    buttons->addWidget(CloseButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(Browser, 1);

    connect(BackButton, &QPushButton::clicked, Browser, &QTextBrowser::backward);
    connect(ForwardButton, &QPushButton::clicked, Browser, &QTextBrowser::forward);
    connect(Browser, &QTextBrowser::backwardAvailable, BackButton, &QPushButton::setEnabled);
    connect(Browser, &QTextBrowser::forwardAvailable, ForwardButton, &QPushButton::setEnabled);
    connect(ContentsButton, &QPushButton::clicked, this, [this] {
        Browser->setHtml(contents_);
        Browser->moveCursor(QTextCursor::Start);
    });
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::close);
}

bool THelpWindow::OpenContents(const std::string& helpFile) {
    std::string native = ResolvePath(helpFile);
    std::ifstream in(native, std::ios::binary);
    bool ok = static_cast<bool>(in);
    if (ok) {
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        contents_ = DecodeHelpPage(bytes);
        // Links and pictures of the page are found beside it.
        QString folder = QFileInfo(QString::fromUtf8(native.c_str())).absolutePath();
        Browser->setSearchPaths({folder});
        Browser->document()->setBaseUrl(QUrl::fromLocalFile(folder + QStringLiteral("/")));
    } else {
        contents_ = QStringLiteral("<p>") + FromCp1252(kHelpMissingText + helpFile).toHtmlEscaped() +
                    QStringLiteral("</p>");
    }
    Browser->clearHistory();
    Browser->setHtml(contents_);
    Browser->moveCursor(QTextCursor::Start);
    QString title = Browser->documentTitle();
    setWindowTitle(title.isEmpty() ? Q(kHelpCaption) : title);
    show();
    raise();
    activateWindow();
    return ok;
}
