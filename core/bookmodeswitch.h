#ifndef BOOKMODESWITCH_H
#define BOOKMODESWITCH_H

// Book mode on or off, kept in the settings file under "BookMode": while on,
// a scan of an open book stores its left and right pages apart.
class BookModeSwitch
{
public:
    // Reads whether it was on when the program last ran (off without a file).
    BookModeSwitch();

    bool isOn() const { return m_on; }
    // Switches it and keeps the choice in the settings file.
    void toggle();

private:
    bool m_on = false;
};

#endif
