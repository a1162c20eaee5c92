#ifndef MAINWINDOWFORM_H
#define MAINWINDOWFORM_H

class QLabel;
class QMainWindow;
class QMenuBar;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTextEdit;
class QToolBar;
class QWidget;

// The main window's widget tree. The pointers do not own: every widget is a
// child of the window and dies with it.
struct MainWindowForm
{
    QWidget *centralWidget = nullptr;
    QPushButton *button_file = nullptr;
    QLabel *label = nullptr;
    QPushButton *pushButton_2 = nullptr;
    QLabel *label_2 = nullptr;
    QTextEdit *test_txt = nullptr;
    QLabel *label_3 = nullptr;
    QPushButton *text_button = nullptr;
    QTextEdit *text_ans = nullptr;
    QLabel *label_4 = nullptr;
    QPushButton *pushButton_4 = nullptr;
    QLabel *nr_label = nullptr;
    QLabel *bq_label = nullptr;
    QLabel *label_7 = nullptr;
    QProgressBar *progressBar = nullptr;
    QLabel *haopinglvLable = nullptr;
    QPushButton *pushButton = nullptr;
    QMenuBar *menuBar = nullptr;
    QToolBar *mainToolBar = nullptr;
    QStatusBar *statusBar = nullptr;

    void setupForm(QMainWindow *window);
    void retranslateForm(QMainWindow *window);
};

#endif // MAINWINDOWFORM_H
