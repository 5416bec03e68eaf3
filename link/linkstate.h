#pragma once

// What the program knows about the meter at the other end of the live link: whether it
// answers, which model it is, and which entry of the port list it was found on. Written by the
// meter search and the live link's steps; read by the windows and the logger commands.
class LinkState {
public:
    // A meter answers: live frames arrive (or the search found it).
    bool connected() const { return m_connected; }
    void setConnected(bool connected) { m_connected = connected; }

    // 120 or 122 (only the 122 has a logger memory).
    int meterModel() const { return m_meterModel; }
    void setMeterModel(int model) { m_meterModel = model == 120 ? 120 : 122; }
    bool hasLogger() const { return m_meterModel == 122; }

    // The model of the last meter found by a search (0: none yet).
    int savedModel() const { return m_savedModel; }
    void setSavedModel(int model) { m_savedModel = model; }

    // The port list entry the meter was found on, or the one used last time.
    int portIndex() const { return m_portIndex; }
    void setPortIndex(int index) { m_portIndex = index < 0 ? 0 : index; }

private:
    bool m_connected = false;
    int m_meterModel = 122;
    int m_savedModel = 0;
    int m_portIndex = 0;
};
