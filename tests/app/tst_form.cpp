#include "mainwindowprobe.h"
#include "testworkdir.h"

#include <QLabel>
#include <QMenuBar>
#include <QMetaMethod>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextFragment>
#include <QTimer>
#include <QToolBar>

class FormTest : public QObject
{
    Q_OBJECT

private slots:
    void widgetTree_data();
    void widgetTree();
    void fonts_data();
    void fonts();
    void windowFrame();
    void stackingOfOverlaps();
    void defaultTestText();
    void startState();
    void namedWindowKeepsItsName();
    void resizingKeepsChildGeometry();
    void metaObject();
    void metaCasts();
    void closingEndsTheProgramWithStatusZero();
};

void FormTest::widgetTree_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");

    auto row = [](const char *name, const char *cls, QRect geometry, const QString &text) {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(cls) << geometry << text;
    };
    row("button_file", "QPushButton", QRect(120, 80, 211, 61), "点击选择点评内容文件");
    row("label", "QLabel", QRect(170, 20, 191, 51), "数据学习");
    row("pushButton_2", "QPushButton", QRect(120, 190, 211, 61), "点击选择点评标签文件");
    row("label_2", "QLabel", QRect(590, 30, 261, 51), "数据测试");
    row("test_txt", "QTextEdit", QRect(620, 110, 301, 71), QString());
    row("label_3", "QLabel", QRect(500, 130, 141, 41), "测试文本");
    row("text_button", "QPushButton", QRect(800, 200, 121, 51), "测试");
    row("text_ans", "QTextEdit", QRect(620, 270, 301, 71), QString());
    row("label_4", "QLabel", QRect(500, 290, 141, 41), "测试结果");
    row("pushButton_4", "QPushButton", QRect(180, 320, 101, 51), "开始训练");
    row("nr_label", "QLabel", QRect(120, 160, 211, 16), "未选择");
    row("bq_label", "QLabel", QRect(120, 280, 211, 16), "未选择");
    row("label_7", "QLabel", QRect(50, 410, 331, 16), "训练进度");
    row("progressBar", "QProgressBar", QRect(120, 410, 261, 23), QString());
    row("haopinglvLable", "QLabel", QRect(790, 370, 131, 16), QString());
    row("pushButton", "QPushButton", QRect(630, 200, 111, 51), "从文件导入");
}

void FormTest::widgetTree()
{
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);

    TestWorkDir dir;
    MainWindow window;
    MainWindowForm *ui = MainWindowProbe::form(window);

    auto *widget = window.findChild<QWidget *>(name);
    QVERIFY(widget);
    QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), className);
    QCOMPARE(widget->parentWidget(), ui->centralWidget);
    QCOMPARE(widget->geometry(), geometry);
    if (auto *button = qobject_cast<QPushButton *>(widget))
        QCOMPARE(button->text(), text);
    if (auto *label = qobject_cast<QLabel *>(widget))
        QCOMPARE(label->text(), text);

    // The creation order is the order of the form's members.
    const QList<QWidget *> members = {
        ui->button_file, ui->label, ui->pushButton_2, ui->label_2, ui->test_txt, ui->label_3,
        ui->text_button, ui->text_ans, ui->label_4, ui->pushButton_4, ui->nr_label, ui->bq_label,
        ui->label_7, ui->progressBar, ui->haopinglvLable, ui->pushButton};
    QVERIFY(members.contains(widget));
    QList<QWidget *> children;
    for (QObject *child : ui->centralWidget->children())
        if (child->isWidgetType())
            children.append(static_cast<QWidget *>(child));
    QCOMPARE(children, members);
}

void FormTest::fonts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("pointSize"); // -1: the widget sets no font of its own
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("italicSet");

    QTest::newRow("label") << "label" << 15 << true << false;
    QTest::newRow("label_2") << "label_2" << 15 << true << true;
    for (const char *name : {"test_txt", "label_3", "text_button", "label_4"})
        QTest::newRow(name) << name << 12 << false << false;
    QTest::newRow("nr_label") << "nr_label" << 8 << false << false;
    QTest::newRow("bq_label") << "bq_label" << 8 << false << false;
    QTest::newRow("label_7") << "label_7" << 10 << false << false;
    for (const char *name : {"button_file", "pushButton_2", "text_ans", "pushButton_4", "progressBar",
                             "haopinglvLable", "pushButton"})
        QTest::newRow(name) << name << -1 << false << false;
}

void FormTest::fonts()
{
    QFETCH(QString, name);
    QFETCH(int, pointSize);
    QFETCH(bool, bold);
    QFETCH(bool, italicSet);

    TestWorkDir dir;
    MainWindow window;
    auto *widget = window.findChild<QWidget *>(name);
    QVERIFY(widget);
    const QFont font = widget->font();
    if (pointSize < 0) {
        QVERIFY(!widget->testAttribute(Qt::WA_SetFont));
        QCOMPARE(font, QApplication::font(widget));
        return;
    }
    QVERIFY(widget->testAttribute(Qt::WA_SetFont));
    QCOMPARE(font.pointSize(), pointSize);
    QCOMPARE(font.bold(), bold);
    QCOMPARE(font.weight(), bold ? int(QFont::Bold) : int(QFont::Normal));
    QVERIFY(!font.italic());
    // Only the listed attributes are set; the family follows the application.
    uint expected = QFont::SizeResolved;
    if (bold)
        expected |= QFont::WeightResolved;
    if (italicSet)
        expected |= QFont::StyleResolved;
    QCOMPARE(font.resolve() & ~uint(QFont::FamilyResolved), expected);
    QCOMPARE(font.family(), QApplication::font().family());
}

void FormTest::windowFrame()
{
    TestWorkDir dir;
    MainWindow window;
    MainWindowForm *ui = MainWindowProbe::form(window);

    QCOMPARE(window.objectName(), QStringLiteral("MainWindow"));
    QCOMPARE(window.windowTitle(), QStringLiteral("情感分析"));
    QCOMPARE(window.size(), QSize(1031, 652));
    QCOMPARE(window.centralWidget(), ui->centralWidget);
    QCOMPARE(ui->centralWidget->objectName(), QStringLiteral("centralWidget"));
    QCOMPARE(window.menuBar(), ui->menuBar);
    QCOMPARE(ui->menuBar->objectName(), QStringLiteral("menuBar"));
    QVERIFY(ui->menuBar->actions().isEmpty());
    QCOMPARE(window.statusBar(), ui->statusBar);
    QCOMPARE(ui->statusBar->objectName(), QStringLiteral("statusBar"));
    QCOMPARE(ui->mainToolBar->objectName(), QStringLiteral("mainToolBar"));
    QCOMPARE(ui->mainToolBar->parentWidget(), &window);
    QCOMPARE(window.toolBarArea(ui->mainToolBar), Qt::TopToolBarArea);
    QVERIFY(ui->mainToolBar->actions().isEmpty());
    QVERIFY(ui->bq_label->autoFillBackground());
    QVERIFY(!ui->nr_label->autoFillBackground());
    QVERIFY(!ui->text_ans->isReadOnly());
    QVERIFY(!ui->test_txt->isReadOnly());
}

void FormTest::stackingOfOverlaps()
{
    TestWorkDir dir;
    MainWindow window;
    window.show(); // hidden widgets are never found by childAt()
    MainWindowForm *ui = MainWindowProbe::form(window);
    QWidget *central = ui->centralWidget;

    QCOMPARE(central->childAt(625, 150), ui->label_3);
    QCOMPARE(central->childAt(645, 150), ui->test_txt->viewport());
    QCOMPARE(central->childAt(625, 310), ui->label_4);
    QCOMPARE(central->childAt(200, 415), ui->progressBar);
    QCOMPARE(central->childAt(379, 420), ui->progressBar);
    QCOMPARE(central->childAt(60, 415), ui->label_7);
}

void FormTest::defaultTestText()
{
    TestWorkDir dir;
    MainWindow window;
    QTextEdit *box = MainWindowProbe::form(window)->test_txt;

    QCOMPARE(box->toPlainText(),
             QStringLiteral("It is a terrible movie\nI like it\nIt is a lovely hero"));

    // Words are green spans, the single spaces between them light grey.
    const QColor green(0x00, 0x80, 0x00);
    const QColor grey(0xc0, 0xc0, 0xc0);
    int words = 0;
    int spaces = 0;
    for (QTextBlock block = box->document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QColor colour = fragment.charFormat().foreground().color();
            if (fragment.text() == QLatin1String(" ")) {
                QCOMPARE(colour, grey);
                ++spaces;
            } else {
                QVERIFY2(!fragment.text().contains(QLatin1Char(' ')), qPrintable(fragment.text()));
                QCOMPARE(colour, green);
                ++words;
            }
        }
    }
    QCOMPARE(words, 13);
    QCOMPARE(spaces, 10);
    QCOMPARE(box->document()->blockCount(), 3);
    QCOMPARE(box->document()->defaultFont().family(), QApplication::font().family());
    QVERIFY(box->toHtml().contains(QLatin1String("SimSun")));
}

void FormTest::startState()
{
    TestWorkDir dir;
    {
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        MainWindowForm *ui = MainWindowProbe::form(window);

        QVERIFY(MainWindowProbe::reviewsPath(window).isNull());
        QVERIFY(MainWindowProbe::labelsPath(window).isNull());
        QVERIFY(!MainWindowProbe::trainProcess(window));
        QVERIFY(!MainWindowProbe::testProcess(window));
        QVERIFY(!MainWindowProbe::pollTimer(window));
        QVERIFY(MainWindowProbe::workDir(window));
        QCOMPARE(MainWindowProbe::workDir(window)->absolutePath(), QDir::currentPath());
        QCOMPARE(ui->progressBar->value(), 0);
        QCOMPARE(ui->progressBar->minimum(), 0);
        QCOMPARE(ui->progressBar->maximum(), 100);
        QVERIFY(ui->text_ans->toPlainText().isEmpty());
        QVERIFY(ui->haopinglvLable->text().isEmpty());
        QTest::qWait(1200); // long enough for any stray poll to have run twice
        window.close();
    }
    QCOMPARE(dir.entries(), QStringList());
}

void FormTest::namedWindowKeepsItsName()
{
    QMainWindow named;
    named.setObjectName(QStringLiteral("Elsewhere"));
    MainWindowForm form;
    form.setupForm(&named);
    QCOMPARE(named.objectName(), QStringLiteral("Elsewhere"));
    QCOMPARE(named.windowTitle(), QStringLiteral("情感分析"));
}

void FormTest::resizingKeepsChildGeometry()
{
    TestWorkDir dir;
    MainWindow window;
    window.show();
    MainWindowForm *ui = MainWindowProbe::form(window);
    window.resize(1600, 1000);
    QTest::qWait(50);
    QCOMPARE(ui->text_button->geometry(), QRect(800, 200, 121, 51));
    QCOMPARE(ui->progressBar->geometry(), QRect(120, 410, 261, 23));
}

void FormTest::metaObject()
{
    const QMetaObject &meta = MainWindow::staticMetaObject;
    QCOMPARE(meta.className(), "MainWindow");
    QCOMPARE(meta.superClass(), &QMainWindow::staticMetaObject);
    QCOMPARE(meta.methodCount() - meta.methodOffset(), 7);
    QCOMPARE(meta.propertyCount(), meta.propertyOffset());
    QCOMPARE(meta.enumeratorCount(), meta.enumeratorOffset());
    QCOMPARE(meta.classInfoCount(), meta.classInfoOffset());
    QCOMPARE(meta.constructorCount(), 0);

    const QByteArrayList signatures = {"on_text_button_clicked()", "on_pushButton_4_clicked()",
                                  "on_button_file_clicked()", "on_pushButton_2_clicked()",
                                  "check()", "checkTestflie()", "on_pushButton_clicked()"};
    for (int local = 0; local < signatures.size(); ++local) {
        const QMetaMethod method = meta.method(meta.methodOffset() + local);
        QCOMPARE(method.methodSignature(), signatures.at(local));
        QCOMPARE(method.methodType(), QMetaMethod::Slot);
        QCOMPARE(method.access(), QMetaMethod::Private);
        QCOMPARE(method.returnType(), int(QMetaType::Void));
        QCOMPARE(method.parameterCount(), 0);
        QCOMPARE(method.tag(), "");
    }
    QCOMPARE(meta.indexOfSlot("check()") - meta.methodOffset(), 4);
    QCOMPARE(meta.indexOfSlot("checkTestflie()") - meta.methodOffset(), 5);
    QCOMPARE(meta.indexOfSlot("on_pushButton_clicked()") - meta.methodOffset(), 6);
}

void FormTest::metaCasts()
{
    TestWorkDir dir;
    MainWindow window;
    QCOMPARE(window.qt_metacast("MainWindow"), static_cast<void *>(&window));
    QCOMPARE(window.qt_metacast(nullptr), nullptr);
    QCOMPARE(window.qt_metacast("QWidget"), window.QMainWindow::qt_metacast("QWidget"));
    QCOMPARE(window.qt_metacast("NoSuchClass"), nullptr);
    QCOMPARE(window.metaObject(), &MainWindow::staticMetaObject);

    // Ids beyond the window's own seven slots run nothing and come back reduced.
    const int offset = MainWindow::staticMetaObject.methodOffset();
    int dummy = 0;
    void *args[] = {&dummy};
    QCOMPARE(window.qt_metacall(QMetaObject::InvokeMetaMethod, offset + 9, args), 2);
    QCOMPARE(window.qt_metacall(QMetaObject::RegisterMethodArgumentMetaType, offset + 7, args), 0);
    QCOMPARE(window.qt_metacall(QMetaObject::RegisterMethodArgumentMetaType, offset + 4, args), -3);
    QCOMPARE(dummy, -1);
}

void FormTest::closingEndsTheProgramWithStatusZero()
{
    TestWorkDir dir;
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // The one window closing is what ends the event loop.
    QTimer::singleShot(100, &window, &QWidget::close);
    QTimer::singleShot(10000, [] { QCoreApplication::exit(99); }); // would mean no quit
    QCOMPARE(QApplication::exec(), 0);
    QVERIFY(!window.isVisible());
}

QTEST_MAIN(FormTest)
#include "tst_form.moc"
