#include "mainwindowform.h"

#include <QCoreApplication>
#include <QFont>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTextEdit>
#include <QToolBar>

namespace {

QFont pointSizeFont(int pointSize)
{
    QFont font;
    font.setPointSize(pointSize);
    return font;
}

template <typename Widget>
Widget *addChild(QWidget *parent, const char *objectName, int x, int y, int width, int height)
{
    auto *widget = new Widget(parent);
    widget->setObjectName(QString::fromLatin1(objectName));
    widget->setGeometry(x, y, width, height);
    return widget;
}

QString translated(const char *text)
{
    return QCoreApplication::translate("MainWindow", text, nullptr);
}

} // namespace

void MainWindowForm::setupForm(QMainWindow *window)
{
    if (window->objectName().isEmpty())
        window->setObjectName(QStringLiteral("MainWindow"));
    window->resize(1031, 652);

    centralWidget = new QWidget(window);
    centralWidget->setObjectName(QStringLiteral("centralWidget"));

    const QFont body = pointSizeFont(12);
    const QFont small = pointSizeFont(8);

    button_file = addChild<QPushButton>(centralWidget, "button_file", 120, 80, 211, 61);

    label = addChild<QLabel>(centralWidget, "label", 170, 20, 191, 51);
    QFont title = pointSizeFont(15);
    title.setBold(true);
    label->setFont(title);

    pushButton_2 = addChild<QPushButton>(centralWidget, "pushButton_2", 120, 190, 211, 61);

    label_2 = addChild<QLabel>(centralWidget, "label_2", 590, 30, 261, 51);
    QFont uprightTitle = pointSizeFont(15);
    uprightTitle.setBold(true);
    uprightTitle.setItalic(false);
    label_2->setFont(uprightTitle);

    test_txt = addChild<QTextEdit>(centralWidget, "test_txt", 620, 110, 301, 71);
    test_txt->setFont(body);

    label_3 = addChild<QLabel>(centralWidget, "label_3", 500, 130, 141, 41);
    label_3->setFont(body);

    text_button = addChild<QPushButton>(centralWidget, "text_button", 800, 200, 121, 51);
    text_button->setFont(body);

    text_ans = addChild<QTextEdit>(centralWidget, "text_ans", 620, 270, 301, 71);

    label_4 = addChild<QLabel>(centralWidget, "label_4", 500, 290, 141, 41);
    label_4->setFont(body);

    pushButton_4 = addChild<QPushButton>(centralWidget, "pushButton_4", 180, 320, 101, 51);

    nr_label = addChild<QLabel>(centralWidget, "nr_label", 120, 160, 211, 16);
    nr_label->setFont(small);

    bq_label = addChild<QLabel>(centralWidget, "bq_label", 120, 280, 211, 16);
    bq_label->setFont(small);
    bq_label->setAutoFillBackground(true);

    label_7 = addChild<QLabel>(centralWidget, "label_7", 50, 410, 331, 16);
    label_7->setFont(pointSizeFont(10));

    progressBar = addChild<QProgressBar>(centralWidget, "progressBar", 120, 410, 261, 23);
    progressBar->setValue(0);

    haopinglvLable = addChild<QLabel>(centralWidget, "haopinglvLable", 790, 370, 131, 16);

    pushButton = addChild<QPushButton>(centralWidget, "pushButton", 630, 200, 111, 51);

    window->setCentralWidget(centralWidget);

    menuBar = new QMenuBar(window);
    menuBar->setObjectName(QStringLiteral("menuBar"));
    menuBar->setGeometry(0, 0, 1031, 23);
    window->setMenuBar(menuBar);

    mainToolBar = new QToolBar(window);
    mainToolBar->setObjectName(QStringLiteral("mainToolBar"));
    window->addToolBar(Qt::TopToolBarArea, mainToolBar);

    statusBar = new QStatusBar(window);
    statusBar->setObjectName(QStringLiteral("statusBar"));
    window->setStatusBar(statusBar);

    retranslateForm(window);

    QMetaObject::connectSlotsByName(window);
}

void MainWindowForm::retranslateForm(QMainWindow *window)
{
    window->setWindowTitle(translated("情感分析"));
    button_file->setText(translated("点击选择点评内容文件"));
    label->setText(translated("数据学习"));
    pushButton_2->setText(translated("点击选择点评标签文件"));
    label_2->setText(translated("数据测试"));
    // Three sample sentences for a first test run: green words, light-grey
    // spaces, one paragraph each.
    test_txt->setHtml(translated(
        "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0//EN\" \"http://www.w3.org/TR/REC-html40/strict.dtd\">\n"
        "<html><head><meta name=\"qrichtext\" content=\"1\" /><style type=\"text/css\">\n"
        "p, li { white-space: pre-wrap; }\n"
        "</style></head><body style=\" font-family:'SimSun'; font-size:12pt; font-weight:400; font-style:normal;\">\n"
        "<p style=\" margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;\">"
        "<span style=\" color:#008000;\">It</span><span style=\" color:#c0c0c0;\"> </span>"
        "<span style=\" color:#008000;\">is</span><span style=\" color:#c0c0c0;\"> </span>"
        "<span style=\" color:#008000;\">a</span><span style=\" color:#c0c0c0;\"> </span>"
        "<span style=\" color:#008000;\">terrible</span><span style=\" color:#c0c0c0;\"> </span>"
        "<span style=\" color:#008000;\">movie</span></p>\n"
        "<p style=\" margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;\">"
        "<span style=\" color:#008000;\">I</span><span style=\" color:#c0c0c0;\"> </span>"
        "<span style=\" color:#008000;\">like</span><span style=\" color:#c0c0c0;\"> </span>"
        "<span style=\" color:#008000;\">it</span></p>\n"
        "<p style=\" margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;\">"
        "<span style=\" color:#008000;\">It</span><span style=\" color:#c0c0c0;\"> </span>"
        "<span style=\" color:#008000;\">is</span><span style=\" color:#c0c0c0;\"> </span>"
        "<span style=\" color:#008000;\">a</span><span style=\" color:#c0c0c0;\"> </span>"
        "<span style=\" color:#008000;\">lovely</span><span style=\" color:#c0c0c0;\"> </span>"
        "<span style=\" color:#008000;\">hero</span></p></body></html>"));
    label_3->setText(translated("测试文本"));
    text_button->setText(translated("测试"));
    label_4->setText(translated("测试结果"));
    pushButton_4->setText(translated("开始训练"));
    nr_label->setText(translated("未选择"));
    bq_label->setText(translated("未选择"));
    label_7->setText(translated("训练进度"));
    haopinglvLable->setText(QString());
    pushButton->setText(translated("从文件导入"));
}
