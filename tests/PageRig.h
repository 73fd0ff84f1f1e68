#pragma once

// A page under test, reached as the main window reaches it: the engine, the connection and the
// page transfer wired to the simulated unit, with the page as the current frame.

#include "SimConnection.h"
#include "main/MainPageTransfer.h"
#include "pages/PageFrame.h"

#include <QLabel>

#include <memory>

// The engine, the connection and the page transfer as the main window wires them.
struct TransferRig
{
    unitsim::UnitSimulator Sim; // outlives the connection to it
    TCommandEngine Engine;
    QObject Owner;
    TMainConnection Connection{Engine, &Owner};
    TMainPageTransfer Transfer{Engine};

    TransferRig()
    {
        SpeedUp(Engine, Connection);
        Engine.Hooks.ClosePort = [this] { Connection.ClosePort(); };
        Engine.Hooks.DisconnectAction = [this] { Connection.DisconnectActionExecute(); };
        Engine.Hooks.SetActionsConnected = [this] { connected = true; };
    }

    // Starts the simulated unit and connects to it; its log starts empty.
    bool Connect(const unitsim::UnitSimOptions &options = CableUnit())
    {
        return ConnectCable(Sim, Connection, Engine, connected, options);
    }

    void NeverAnswer(const QStringList &commands) { ::NeverAnswer(Sim, commands); }

    bool connected = false;
};

// One page as the current frame.
template <typename Frame> struct PageRig : TransferRig
{
    Frame Page;

    PageRig()
    {
        Page.Init(QStringLiteral("W9CAN"));
        Transfer.Hooks.CurrentFrame = [this] { return static_cast<TPageFrame *>(&Page); };
    }

    void Read() { Transfer.ReadPageActionExecute(); }
    void Write() { Transfer.WritePageActionExecute(); }
    // Writes the page and gives the commands of that write.
    QStringList Writing()
    {
        Sim.clearLog();
        Write();
        return Sent(Sim);
    }

    template <typename T> T *Child(const char *name)
    {
        T *w = Page.template findChild<T *>(QString::fromLatin1(name));
        if (w == nullptr)
            qFatal("no control %s", name);
        return w;
    }
    QColor Colour(const char *label) { return TPageFrame::LabelColor(Child<QLabel>(label)); }
    template <typename List> QStringList NotIn(const QColor &colour, const List &labels)
    {
        QStringList others;
        for (const char *label : labels)
            if (Colour(label) != colour)
                others << QString::fromLatin1(label);
        return others;
    }
};

inline const QColor Green = TPageFrame::ResultColors[0];
inline const QColor Red = TPageFrame::ResultColors[1];
