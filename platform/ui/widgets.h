// The few widgets the toolkit draws itself. Private to platform/ui.
#pragma once

#include <QColor>
#include <QLabel>
#include <QTableWidget>
#include <QWidget>

#include <functional>

namespace ui::detail {

// A top-level panel window: the close box is reported instead of closing.
class PanelWindow : public QWidget {
public:
    explicit PanelWindow(int handle) : QWidget(nullptr, Qt::Window), handle_(handle) {}
    int handle() const { return handle_; }

protected:
    void closeEvent(QCloseEvent *e) override;
    // Return presses the focused button, else the panel's default button;
    // Escape commits the control the close box commits.
    void keyPressEvent(QKeyEvent *e) override;

private:
    int handle_;
};

// A round indicator lamp.
class Led : public QWidget {
public:
    explicit Led(QWidget *parent) : QWidget(parent) {}
    void setOn(bool on) {
        on_ = on;
        update();
    }
    bool isOn() const { return on_; }
    void setOnColour(QColor c) {
        onColour_ = c;
        update();
    }
    void setOffColour(QColor c) {
        offColour_ = c;
        update();
    }
    QColor onColour() const { return onColour_; }

protected:
    void paintEvent(QPaintEvent *) override;

private:
    bool on_ = false;
    QColor onColour_{0, 255, 0};
    QColor offColour_{0x40, 0x40, 0x40};
};

// A table whose top-left corner carries a text, as instrument panels label them.
class Table : public QTableWidget {
public:
    explicit Table(QWidget *parent);
    ~Table() override;
    void setCornerText(const QString &text);
    QString cornerText() const { return corner_->text(); }
    // Scrolls row (from 0) to the top, rows inserted just before included.
    void showRowAtTop(int row);

    // While redraws are paced, the rows a run adds at every point are laid
    // out once a frame, and only they are drawn again, not the whole table.
    void doItemsLayout() override;
    void layOutNow();

protected:
    void rowsInserted(const QModelIndex &parent, int start, int end) override;
    void rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end) override;
    void resizeEvent(QResizeEvent *e) override;
    void showEvent(QShowEvent *e) override;

private:
    void placeCorner();
    QLabel *corner_;
    bool layoutDue_ = false;
    // Rows from here on changed since the last layout; 0: all of them.
    int changedFrom_ = 0;
    int rowsLaidOut_ = 0;
    int columnsLaidOut_ = 0;
};

// Decorative picture: the module's emblem, drawn rather than loaded.
class Picture : public QWidget {
public:
    Picture(QWidget *parent, int variant) : QWidget(parent), variant_(variant) {}

protected:
    void paintEvent(QPaintEvent *) override;

private:
    int variant_;
};

// A raised or sunken frame grouping other controls.
class Decoration : public QWidget {
public:
    explicit Decoration(QWidget *parent) : QWidget(parent) {}

protected:
    void paintEvent(QPaintEvent *) override;
};

} // namespace ui::detail
