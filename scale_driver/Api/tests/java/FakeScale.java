// The simulated scale on the far end of the fake serial port COM3, scripted
// through the test's native helpers in the same library as the bridge.
final class FakeScale {
    private FakeScale() {
    }

    // Answers every weight request with the IS1 frame of these fields
    // (weight 6 characters, unit 2).
    static native void answerWeightRequests(char status, char sign, String weight, String unit, int flag);

    // Answers nothing.
    static native void stayQuiet();

    // Sends count IS1 frames at once, taken by the next pump.
    static native void pushWeightFrames(int count, char status, char sign, String weight, String unit, int flag);

    // Sends the measurement net 12.34, tare 1, gross 13.34, mode 1, 2
    // decimals, unit 0, A/D values and flag 0.
    static native void pushMeasurement();

    // The blocks written since the last call, in hex: "05 11|FD".
    static native String takeWrites();

    static native boolean portOpen();

    // The link's transport: 0 UDP, 1 serial port, 2 TCP, 3 USB, 4 USB printer.
    static native int linkMode();

    // Pumps the queued serial data once, on a new native thread that the
    // virtual machine does not know.
    static native void pumpOnNewThread();

    // Calls the library's JNI_OnUnLoad, as a host may.
    static native void callOnUnLoad();
}
