// The library's Java entry points in a real Java virtual machine, run with
// checked JNI: the class Pondrex.DLL as the README shows it, against the
// driver on the fake platform, whose scale the test scripts (FakeScale).
//
// The callback objects are allocated by the library without running a
// constructor, so the recording classes keep what they receive in static
// fields. Every case runs in this one process, in order, on the thread that
// loaded the library unless it says otherwise.
import Pondrex.DLL;

import java.lang.ref.WeakReference;
import java.util.ArrayList;
import java.util.List;
import java.util.Objects;

public final class PondrexJavaTest {
    private static int passed;
    private static int failed;

    private PondrexJavaTest() {
    }

    static void check(String what, Object expected, Object actual) {
        if (Objects.equals(expected, actual)) {
            passed++;
        } else {
            failed++;
            System.out.println("FAILED: " + what + ": expected <" + expected + ">, got <" + actual + ">");
        }
    }

    // Pumps the frames that the scale has sent.
    static List<String> pumpedCalls() {
        Recorder.clear();
        DLL.DoEvents();
        return Recorder.calls();
    }

    static void weightFrames(int count) {
        FakeScale.pushWeightFrames(count, 'S', '-', "  2.50", "kg", 1);
    }

    static final String WeightCall = "IS1INFO [S][-][  2.50][kg] 1";
    static final String MeasurementCall = "SENSORINFO 12.34 1.0 13.34 1 2 0 0 0 0 0 0";

    static void closeWhenNeverOpened() {
        check("Close when never opened", true, DLL.Close());
        check("nothing written", "", FakeScale.takeWrites());
    }

    // The next two cases show both methods bound.
    static void bindBothByNameInAnyCase() {
        DLL.SetCallBackFunc("is1info", "RecordingEvents");
        DLL.SetCallBackFunc("Sensorinfo", "RecordingEvents");
    }

    static void openDeliversTheWeightFrameAndGetWeightHandsItOutOnce() {
        FakeScale.answerWeightRequests('S', ' ', "  1.25", "kg", 0);
        Recorder.clear();
        check("Open", true, DLL.Open("COM3", 9600));
        check("IS1INFO during Open", List.of("IS1INFO [S][ ][  1.25][kg] 0"), Recorder.calls());
        check("IS1INFO on the calling thread", Thread.currentThread(), Recorder.lastThread);
        check("the double request first", "05 11", FakeScale.takeWrites());
        FakeScale.stayQuiet();
        check("GetWeight", "S, ,  1.25,kg,0", DLL.GetWeight());
        check("GetWeight again", null, DLL.GetWeight());
    }

    static void measurementReachesSensorInfoDuringDoEvents() {
        FakeScale.pushMeasurement();
        check("SENSORINFO", List.of(MeasurementCall), pumpedCalls());
    }

    static void zeroAndTareWriteOneByte() {
        FakeScale.takeWrites();
        DLL.Zero("123456");
        check("Zero writes", "FD", FakeScale.takeWrites());
        DLL.Tare("123456");
        check("Tare writes", "FE", FakeScale.takeWrites());
    }

    static void usbDeviceStrings() {
        check("EnumUsbDeviceStr", "", DLL.EnumUsbDeviceStr());
        check("SetUsbDeviceStr", true, DLL.SetUsbDeviceStr("USB#VID_1234"));
    }

    static void nullStringsFailWithoutCallingTheExport() {
        FakeScale.takeWrites();
        check("Zero(null)", false, DLL.Zero(null));
        check("Tare(null)", false, DLL.Tare(null));
        check("SetUsbDeviceStr(null)", false, DLL.SetUsbDeviceStr(null));
        check("Open(null)", false, DLL.Open(null, 9600));
        check("still open", true, FakeScale.portOpen());
        check("nothing written", "", FakeScale.takeWrites());
        DLL.SetCallBackFunc(null, "ThrowingEvents");
        DLL.SetCallBackFunc("IS1INFO", null);
        weightFrames(1);
        check("bindings kept", List.of(WeightCall), pumpedCalls());
    }

    static void setCommModeThenOpenOpensTheSerialPort() {
        DLL.Close();
        check("closed", false, FakeScale.portOpen());
        DLL.SetCommMode(4);
        check("mode set directly", 4, FakeScale.linkMode());
        FakeScale.answerWeightRequests('S', ' ', "  1.25", "kg", 0);
        check("Open", true, DLL.Open("COM3", 9600));
        FakeScale.stayQuiet();
        check("serial port open", true, FakeScale.portOpen());
        check("mode serial port", 1, FakeScale.linkMode());
        DLL.GetWeight();
    }

    // Nothing here binds, and what was bound stays bound.
    static void failedBindingsChangeNothing() {
        String[][] registrations = {
            {"WEIGHT", "ThrowingEvents"},          // an unknown callback name
            {"IS1INFO ", "ThrowingEvents"},        // a name with a blank
            {"IS1INFO", "NoSuchEvents"},           // an unknown class
            {"IS1INFO", "java.lang.Object"},       // not in JNI form
            {"SENSORINFO", "Is1OnlyEvents"},       // a class without the method
            {"IS1INFO", "WrongIs1Events"},         // the method with other arguments
            {"IS1INFO", "AbstractEvents"},         // a class that cannot be allocated
        };
        for (String[] registration : registrations) {
            DLL.SetCallBackFunc(registration[0], registration[1]);
            weightFrames(1);
            FakeScale.pushMeasurement();
            check("after SetCallBackFunc(" + registration[0] + ", " + registration[1] + ")",
                  List.of(WeightCall, MeasurementCall), pumpedCalls());
        }
    }

    // True once the collector has taken the object: nothing holds it, the
    // library's global reference included.
    static boolean collected(WeakReference<Object> object) throws InterruptedException {
        for (int i = 0; i < 20 && object.get() != null; i++) {
            System.gc();
            Thread.sleep(10);
        }
        return object.get() == null;
    }

    static void aSecondBindingReleasesTheFirstObject() throws InterruptedException {
        weightFrames(1);
        pumpedCalls();
        WeakReference<Object> first = Recorder.is1Receiver;
        DLL.SetCallBackFunc("IS1INFO", "RecordingEvents");
        weightFrames(1);
        check("called", List.of(WeightCall), pumpedCalls());
        check("on a new object", false, first.get() == Recorder.is1Receiver.get());
        check("the first object released", true, collected(first));
        DLL.GetWeight();
    }

    static void aThrowingCallbackDoesNotBreakTheNextCall() {
        DLL.SetCallBackFunc("IS1INFO", "ThrowingEvents");
        ThrowingEvents.calls = 0;
        weightFrames(2);
        check("no exception out of DoEvents", List.of(), pumpedCalls());
        check("each frame reached the throwing method", 2, ThrowingEvents.calls);
        check("next call", "S,-,  2.50,kg,1", DLL.GetWeight());
        FakeScale.pushMeasurement();
        check("the other method still called", List.of(MeasurementCall), pumpedCalls());
        DLL.SetCallBackFunc("IS1INFO", "RecordingEvents");
        weightFrames(1);
        check("bound again", List.of(WeightCall), pumpedCalls());
        DLL.GetWeight();
    }

    // Checked JNI reports a native call whose local references outgrow their
    // capacity; four strings per call that were never deleted would.
    static void manyCallbacksInOneWait() {
        weightFrames(10000);
        check("callbacks inside one DoEvents", 10000, pumpedCalls().size());
        DLL.GetWeight();
    }

    static void callbacksRunOnTheThreadThatPumps() throws InterruptedException {
        weightFrames(1);
        Recorder.clear();
        Thread javaThread = new Thread(DLL::DoEvents, "pumping Java thread");
        javaThread.start();
        javaThread.join();
        check("IS1INFO on another Java thread", List.of(WeightCall), Recorder.calls());
        check("that thread", javaThread, Recorder.lastThread);

        weightFrames(1);
        Recorder.clear();
        FakeScale.pumpOnNewThread();
        check("IS1INFO on a native thread", List.of(WeightCall), Recorder.calls());
        Thread nativeThread = Recorder.lastThread;
        check("an attached thread", true, nativeThread != null && nativeThread != Thread.currentThread());
        check("detached after the call", false, nativeThread != null && nativeThread.isAlive());
        DLL.GetWeight();
    }

    static void unloadHookUnbindsBoth() throws InterruptedException {
        weightFrames(1);
        FakeScale.pushMeasurement();
        check("bound", List.of(WeightCall, MeasurementCall), pumpedCalls());
        WeakReference<Object> is1Object = Recorder.is1Receiver;
        WeakReference<Object> sensorObject = Recorder.sensorReceiver;
        FakeScale.callOnUnLoad();
        weightFrames(1);
        FakeScale.pushMeasurement();
        check("no callback after JNI_OnUnLoad", List.of(), pumpedCalls());
        check("IS1INFO object released", true, collected(is1Object));
        check("SENSORINFO object released", true, collected(sensorObject));
        DLL.SetCallBackFunc("SENSORINFO", "RecordingEvents");
        weightFrames(1);
        FakeScale.pushMeasurement();
        check("bound again after JNI_OnUnLoad", List.of(MeasurementCall), pumpedCalls());
    }

    public static void main(String[] args) throws InterruptedException {
        try {
            closeWhenNeverOpened();
            bindBothByNameInAnyCase();
            openDeliversTheWeightFrameAndGetWeightHandsItOutOnce();
            measurementReachesSensorInfoDuringDoEvents();
            zeroAndTareWriteOneByte();
            usbDeviceStrings();
            nullStringsFailWithoutCallingTheExport();
            setCommModeThenOpenOpensTheSerialPort();
            failedBindingsChangeNothing();
            aSecondBindingReleasesTheFirstObject();
            aThrowingCallbackDoesNotBreakTheNextCall();
            manyCallbacksInOneWait();
            callbacksRunOnTheThreadThatPumps();
            unloadHookUnbindsBoth();
        } finally {
            DLL.Close();
        }
        System.out.println(passed + " passed, " + failed + " failed");
        System.exit(failed == 0 ? 0 : 1);
    }
}

// What the recording callbacks received, in order.
final class Recorder {
    private static final List<String> CALLS = new ArrayList<>();
    static volatile Thread lastThread;
    // The objects on which the methods were last called.
    static volatile WeakReference<Object> is1Receiver = new WeakReference<>(null);
    static volatile WeakReference<Object> sensorReceiver = new WeakReference<>(null);

    private Recorder() {
    }

    static synchronized void add(String call) {
        CALLS.add(call);
        lastThread = Thread.currentThread();
    }

    static synchronized void clear() {
        CALLS.clear();
        lastThread = null;
    }

    static synchronized List<String> calls() {
        return List.copyOf(CALLS);
    }
}

class RecordingEvents {
    public void IS1INFO(String status, String sign, String weight, String unit, int flag) {
        Recorder.is1Receiver = new WeakReference<>(this);
        Recorder.add("IS1INFO [" + status + "][" + sign + "][" + weight + "][" + unit + "] " + flag);
    }

    public void SENSORINFO(double net, double tare, double gross, int mode, int decimals, int unit, int oldAd,
                           int filterAd, int zeroAd, int weightAd, int flag) {
        Recorder.sensorReceiver = new WeakReference<>(this);
        Recorder.add("SENSORINFO " + net + " " + tare + " " + gross + " " + mode + " " + decimals + " " + unit
                     + " " + oldAd + " " + filterAd + " " + zeroAd + " " + weightAd + " " + flag);
    }
}

class ThrowingEvents {
    static int calls;

    public void IS1INFO(String status, String sign, String weight, String unit, int flag) {
        calls++;
        throw new IllegalStateException("thrown by the callback");
    }
}

class Is1OnlyEvents {
    public void IS1INFO(String status, String sign, String weight, String unit, int flag) {
        Recorder.add("Is1OnlyEvents");
    }
}

class WrongIs1Events {
    public void IS1INFO(String status, String sign, String weight, String unit, long flag) {
        Recorder.add("WrongIs1Events");
    }
}

abstract class AbstractEvents {
    public void IS1INFO(String status, String sign, String weight, String unit, int flag) {
        Recorder.add("AbstractEvents");
    }
}
