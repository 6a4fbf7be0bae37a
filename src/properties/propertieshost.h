#pragma once

class MSComm;

// What the properties dialog needs of the main window.
class PropertiesHost
{
public:
    virtual ~PropertiesHost() = default;

    virtual MSComm& port() = 0;
    // The echo setting, shown and chosen in the dialog.
    virtual bool echo() const = 0;
    virtual void setEcho(bool on) = 0;
    // The menu check mark and the two upload commands follow `portOpen`.
    virtual void setPortCommands(bool portOpen) = 0;
};
