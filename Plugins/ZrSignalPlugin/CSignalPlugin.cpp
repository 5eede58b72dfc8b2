// The signal plug-in object: builds the catalogue of prototypes and hands out fresh instances.
#include "zrsignal/CSignalPlugin.h"

#include <atomic>
#include <new>

#include "Func/BeatTempo.h"
#include "Func/ChangeTimingRecording.h"
#include "Func/Colour.h"
#include "Func/Fades.h"
#include "Func/Generators.h"
#include "Func/LatchesAndCounters.h"
#include "Func/Loops.h"
#include "Func/Selection.h"
#include "Func/ShapeMaths.h"
#include "zrcomponent/ZrClassTable.h"
#include "zrparser/ZrParserItemI.h"

namespace {

using Factory = ZrFunctionI* (*)();

template <class T>
ZrFunctionI* make()
{
    return new T();
}

// The catalogue in its published order: index i here is createFunc(i).
constexpr Factory catalogue[] = {
    &make<LoopFct>, // 0
    &make<RandLoopFct>, // 1
    &make<SequenceFct>, // 2
    &make<TimedSequenceFct>, // 3
    &make<TriggerFct>, // 4
    &make<Distance3Fct>, // 5
    &make<DistanceFct>, // 6
    &make<ClockFct>, // 7
    &make<TimeoutFct>, // 8
    &make<DeltaFct>, // 9
    &make<TimeoutOrActiveFct>, // 10
    &make<OnChangeThresholdFct>, // 11
    &make<OnChangeFct>, // 12
    &make<BeatFct>, // 13
    &make<OnBeatMultipleOffsetFct>, // 14
    &make<OnBeatMultipleFct>, // 15
    &make<OnBeatFct>, // 16
    &make<RestrainFct>, // 17
    &make<PingCounterWithResetFct>, // 18
    &make<PingCounterFct>, // 19
    &make<CounterWithDecrementAndResetFct>, // 20
    &make<CounterWithDecrementFct>, // 21
    &make<NoLoopCounterWithDecrementAndResetFct>, // 22
    &make<NoLoopCounterWithDecrementFct>, // 23
    &make<NoLoopCounterFct>, // 24
    &make<CounterFct>, // 25
    &make<RandMinMaxFct>, // 26
    &make<RandFct>, // 27
    &make<RandIntFct>, // 28
    &make<RandomClockFct>, // 29
    &make<PulseFct>, // 30
    &make<RandPulseFct>, // 31
    &make<DelayFct>, // 32
    &make<RecordFct>, // 33
    &make<RecordOnChangeFct>, // 34
    &make<CircularTransitionFct>, // 35
    &make<TransitionHueFct>, // 36
    &make<TransitionSatFct>, // 37
    &make<FadeinLinearFct>, // 38
    &make<FadeinSigmoidFct>, // 39
    &make<FadeinExpFct>, // 40
    &make<FadeinLogFct>, // 41
    &make<FadeoutLinearFct>, // 42
    &make<FadeoutSigmoidFct>, // 43
    &make<FadeoutExpFct>, // 44
    &make<FadeoutLogFct>, // 45
    &make<SawtoothFct>, // 46
    &make<SawtoothResetableFct>, // 47
    &make<SawtoothResetableWithSpeedFct>, // 48
    &make<SawtoothSyncFct>, // 49
    &make<TriangleFct>, // 50
    &make<TriangleSyncFct>, // 51
    &make<SigmoidSyncFct>, // 52
    &make<ExpSyncFct>, // 53
    &make<LogSyncFct>, // 54
    &make<SinFct>, // 55
    &make<CosFct>, // 56
    &make<OrganicFct>, // 57
    &make<RandomOrganicFct>, // 58
    &make<SwitchFct>, // 59
    &make<LatestFct>, // 60
    &make<CoalesceFct>, // 61
    &make<SelectConditionFct>, // 62
    &make<SelectFct>, // 63
    &make<MemFct>, // 64
    &make<RecallFct>, // 65
    &make<LatchWithDefaultFct>, // 66
    &make<LatchFct>, // 67
    &make<LatchDeltaMinMaxFct>, // 68
    &make<LatchDeltaMinFct>, // 69
    &make<LatchDeltaFct>, // 70
    &make<Timer2Fct>, // 71
    &make<Timer1Fct>, // 72
    &make<AveragerFct>, // 73
    &make<BPMCounterFct>, // 74
    &make<TapTempoFct>, // 75
    &make<TapTempoBPMFct>, // 76
    &make<SinSyncFct>, // 77
    &make<CosSyncFct>, // 78
    &make<ScaleFct>, // 79
    &make<ScalePercentFct>, // 80
    &make<IsBetweenFct>, // 81
    &make<MathCosFct>, // 82
    &make<MathACosFct>, // 83
    &make<MathSinFct>, // 84
    &make<MathASinFct>, // 85
    &make<MathTanFct>, // 86
    &make<MathATanFct>, // 87
    &make<MathAngleBetweenFct>, // 88
    &make<MathElevationAngleFct>, // 89
    &make<MotorPanFct>, // 90
    &make<RGBRedFromRGBICompFunc>, // 91
    &make<RGBGreenFromRGBICompFunc>, // 92
    &make<RGBBlueFromRGBICompFunc>, // 93
    &make<RGBRedFromHSIComp>, // 94
    &make<RGBGreenFromHSIComp>, // 95
    &make<RGBBlueFromHSIComp>, // 96
    &make<HSIHueFromRGBComp>, // 97
    &make<HSISaturationFromRGBComp>, // 98
    &make<HSIIntensityFromRGBComp>, // 99
};

// Constant-initialised, so that it is valid before any static initialiser runs.
std::atomic<long> moduleLockCount{0};

} // namespace

using namespace zr;

void CZrSignalPluginModule::lock()
{
    moduleLockCount.fetch_add(1, std::memory_order_relaxed);
}

void CZrSignalPluginModule::unlock()
{
    moduleLockCount.fetch_sub(1, std::memory_order_acq_rel);
}

long CZrSignalPluginModule::lockCount()
{
    return moduleLockCount.load(std::memory_order_acquire);
}

// The module lock is taken last, so a construction that fails leaves the count unchanged.
CSignalPlugin::CSignalPlugin(IUnknown* outer) : controllingUnknown_(outer ? outer : &ownUnknown_)
{
    prototypes_.reserve(std::size(catalogue));
    for (Factory factory : catalogue)
        prototypes_.emplace_back(factory());
    CZrSignalPluginModule::lock();
}

CSignalPlugin::~CSignalPlugin()
{
    CZrSignalPluginModule::unlock();
}

HRESULT CSignalPlugin::create(const IID& iid, void** object)
{
    return createInstance(nullptr, iid, object);
}

HRESULT CSignalPlugin::createInstance(IUnknown* outer, const IID& iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    // An outer object must hold the inner object's own unknown, the only one that does not
    // delegate back to it.
    if (outer && !(iid == IID_IUnknown))
        return CLASS_E_NOAGGREGATION;
    CSignalPlugin* plugin = nullptr;
    try {
        plugin = new CSignalPlugin(outer);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    plugin->ownUnknown_.AddRef();
    const HRESULT hr = plugin->ownUnknown_.QueryInterface(iid, object);
    plugin->ownUnknown_.Release();
    return hr;
}

bool registerSignalPlugin()
{
    return zr::registerClass(CLSID_SignalPlugin, {PROGID_SignalPlugin, PROGID_SignalPlugin1},
                             &CSignalPlugin::createInstance);
}

// Interfaces other than IUnknown are counted through the interface handed out, that is by the
// outer object when aggregated.
HRESULT CSignalPlugin::OwnUnknown::QueryInterface(const IID& iid, void** object)
{
    return queryInterfaceFrom({{IID_IUnknown, this},
                               {IID_ISignalPlugin, static_cast<ISignalPlugin*>(&object_)},
                               {IID_IDispatch, static_cast<IZrParserPlugin*>(&object_)},
                               {IID_IZrParserPlugin, static_cast<IZrParserPlugin*>(&object_)},
                               {IID_ISupportErrorInfo, static_cast<ISupportErrorInfo*>(&object_)}},
                              iid, object);
}

std::uint32_t CSignalPlugin::OwnUnknown::AddRef()
{
    return object_.refs_.increment();
}

std::uint32_t CSignalPlugin::OwnUnknown::Release()
{
    const std::uint32_t left = object_.refs_.decrement();
    if (left == 0)
        delete &object_;
    return left;
}

HRESULT CSignalPlugin::QueryInterface(const IID& iid, void** object)
{
    return controllingUnknown_->QueryInterface(iid, object);
}

std::uint32_t CSignalPlugin::AddRef()
{
    return controllingUnknown_->AddRef();
}

std::uint32_t CSignalPlugin::Release()
{
    return controllingUnknown_->Release();
}

HRESULT CSignalPlugin::GetTypeInfoCount(unsigned* count)
{
    if (count)
        *count = 0;
    return E_NOTIMPL;
}

HRESULT CSignalPlugin::GetTypeInfo(unsigned, std::uint32_t, void** typeInfo)
{
    if (typeInfo)
        *typeInfo = nullptr;
    return E_NOTIMPL;
}

HRESULT CSignalPlugin::GetIDsOfNames(const IID&, wchar_t**, unsigned, std::uint32_t, std::int32_t*)
{
    return E_NOTIMPL;
}

HRESULT CSignalPlugin::Invoke(std::int32_t, const IID&, std::uint32_t, std::uint16_t, void*, void*, void*, unsigned*)
{
    return E_NOTIMPL;
}

HRESULT CSignalPlugin::InterfaceSupportsErrorInfo(const IID& iid)
{
    return iid == IID_ISignalPlugin ? S_OK : S_FALSE;
}

HRESULT CSignalPlugin::getNbFuncs(int* count)
{
    *count = static_cast<int>(prototypes_.size());
    return S_OK;
}

HRESULT CSignalPlugin::createFunc(int index, ZrFunctionI** func)
{
    if (index < 0 || static_cast<std::size_t>(index) >= prototypes_.size()) {
        *func = nullptr;
        return E_INVALIDARG;
    }
    try {
        *func = prototypes_[static_cast<std::size_t>(index)]->spawn();
    } catch (const std::bad_alloc&) {
        *func = nullptr;
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT CSignalPlugin::getNbOps(int* count)
{
    *count = 0;
    return S_OK;
}

HRESULT CSignalPlugin::createOp(int, ZrOperatorI** op)
{
    *op = nullptr;
    return S_OK;
}

HRESULT CSignalPlugin::getParserVersion(BSTR* version)
{
    *version = sysAllocString(ZR_PARSER_VERSION);
    return S_OK;
}

HRESULT CSignalPlugin::getInfoFile(BSTR* fileName, BSTR* second, int* flag)
{
    *fileName = sysAllocString(L"ZrCalcPlugin.xml");
    *second = sysAllocString(L"1");
    *flag = 1;
    return S_OK;
}
