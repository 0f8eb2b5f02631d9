#pragma once

class QKeyEvent;
class QWidget;

// Enter and the keypad's Enter press the push button that has the focus in
// `window`, as Space does (one press, one click; a held key does not repeat
// it). For a window whose buttons are not pressed by Enter on their own.
// True when `event` was such a press; it is then accepted.
bool enterPressesFocusedButton(QWidget* window, QKeyEvent* event);
