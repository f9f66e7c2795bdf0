"""The tables of a run from its HDF5 results file (results.h5), as the
DataFrames the text result files give: the same columns, every value at
full precision (a value that overflows its text field comes back whole).
The file's layout is in docs/results-h5.md."""
import os

H5_NAME = "results.h5"
NFIB, NSTA, NPT = 20, 10, 6


def h5_path(folder):
    return os.path.join(os.fspath(folder), H5_NAME)


def _import_h5py():
    try:
        import h5py
    except ImportError as e:
        raise ImportError("nlframe reads results.h5 with h5py (the Debian package python3-h5py; bash "
                          "tools/ensure-tools installs it): %s" % e, name=e.name) from e
    return h5py


def _text(v):
    return v.decode() if isinstance(v, bytes) else str(v)


def _columns(dataset):
    return [_text(c) for c in dataset.attrs["columns"]]


def _keyed(pd, np, steps, count, keys):
    """The key columns of rows step-major: `steps` repeated over `count` rows each."""
    out = {"step": np.repeat(np.asarray(steps, dtype=np.int64), count)}
    for name, values in keys:
        out[name] = np.tile(np.asarray(values, dtype=np.int64), len(steps))
    return out


def read_tables(folder):
    """A dict of DataFrames (joint_displacements, joint_forces,
    member_forces, member_nodes, stations, curves) read from the folder's
    results.h5; tables the file does not hold are empty with their columns."""
    import numpy as np
    import pandas as pd
    h5py = _import_h5py()
    with h5py.File(h5_path(folder), "r") as f:
        joints = f["joints/number"][()] if "joints/number" in f else np.zeros(0, np.int32)
        ends = f["members/ends"][()] if "members/ends" in f else np.zeros((0, 2), np.int32)
        nj, nm = len(joints), len(ends)
        members = np.arange(1, nm + 1)
        out = {}

        def table(group, name, keys, width, base_columns):
            if group + "/" + name not in f:
                return pd.DataFrame(columns=["step"] + [k for k, _ in keys] + base_columns)
            d = f[group + "/" + name]
            steps = f[group + "/step"][()]
            columns = _columns(d)
            data = d[()].reshape(-1, len(columns))
            frame = pd.DataFrame(_keyed(pd, np, steps, width, keys))
            return pd.concat([frame, pd.DataFrame(data, columns=columns)], axis=1)

        from_joints = [("joint", joints)]
        out["joint_displacements"] = table("joints", "displacements", from_joints, nj, [])
        out["joint_forces"] = table("joints", "forces", from_joints, nj, [])
        from_members = [("member", members), ("joint_I", ends[:, 0]), ("joint_J", ends[:, 1])]
        out["member_forces"] = table("members", "forces", from_members, nm, [])
        node_keys = [("member", np.repeat(members, NPT)), ("joint_I", np.repeat(ends[:, 0], NPT)),
                     ("joint_J", np.repeat(ends[:, 1], NPT)), ("node", np.tile(np.arange(1, NPT + 1), nm))]
        out["member_nodes"] = table("nodes", "displacements", node_keys, nm * NPT, [])
        out["stations"] = _stations(f, pd, np, members, ends)
        out["curves"] = _curves(f, pd)
    return out


def _stations(f, pd, np, members, ends):
    """The stress table: a row per step, member and station, as Mstr.rst
    gives it, the stresses in hundredths of t/cm2 at full precision. The
    state strings are categorical: a frame has few distinct ones."""
    stress_columns = ["STRESS_%d(T/CM2/100)" % k for k in range(1, NFIB + 1)]
    columns = (["step", "member", "joint_I", "joint_J", "station", "state", "at_upper", "at_lower",
                "STRAIN_1(%)", "STRAIN_20(%)"] + stress_columns)
    if "fibres/stress" not in f:
        return pd.DataFrame(columns=columns)
    steps = f["fibres/step"][()]
    nm = len(members)
    state = f["fibres/state"][()].reshape(-1, NFIB)
    out = _keyed(pd, np, steps, nm * NSTA, [("member", np.repeat(members, NSTA)),
                                            ("joint_I", np.repeat(ends[:, 0], NSTA)),
                                            ("joint_J", np.repeat(ends[:, 1], NSTA)),
                                            ("station", np.tile(np.arange(1, NSTA + 1), nm))])
    # Every distinct row of states once, as the symbols Mstr.rst prints.
    rows, codes = np.unique(np.ascontiguousarray(state).view("V%d" % NFIB).ravel(), return_inverse=True)
    symbols = np.array([b"-", b".", b"+"])[rows.view(np.int8).reshape(-1, NFIB).astype(np.int64) + 1]
    names = [b"".join(r).decode() for r in symbols]
    out["state"] = pd.Categorical.from_codes(codes.ravel(), names) if len(names) else np.zeros(0, dtype=str)
    out["at_upper"] = (state > 0).sum(axis=1, dtype=np.int64)
    out["at_lower"] = (state < 0).sum(axis=1, dtype=np.int64)
    del state
    # The outer fibres' strains, a step (a chunk) at a time.
    strain = f["fibres/strain"]
    outer = np.empty((len(steps), nm, NSTA, 2))
    for i in range(len(steps)):
        outer[i] = strain[i][:, :, [0, NFIB - 1]]
    outer = outer.reshape(-1, 2)
    out["STRAIN_1(%)"] = outer[:, 0] * 100.0
    out["STRAIN_20(%)"] = outer[:, 1] * 100.0
    stress = f["fibres/stress"][()].reshape(-1, NFIB)
    stress *= 100.0
    for k, name in enumerate(stress_columns):
        out[name] = stress[:, k]
    return pd.DataFrame(out, columns=columns, copy=False)


def read_stations(folder):
    """The stations table alone (read_tables()["stations"])."""
    import numpy as np
    import pandas as pd
    h5py = _import_h5py()
    with h5py.File(h5_path(folder), "r") as f:
        ends = f["members/ends"][()] if "members/ends" in f else np.zeros((0, 2), np.int32)
        return _stations(f, pd, np, np.arange(1, len(ends) + 1), ends)


def _curves(f, pd):
    curves = {}
    if "curves" not in f:
        return curves
    steps = f["curves/step"][()]
    for name in f["curves"]:
        if not name.isdigit():
            continue
        d = f["curves/" + name]
        frame = pd.DataFrame(d[()], columns=_columns(d))
        frame.insert(0, "step", steps.astype("int64"))
        curves[int(name)] = frame
    return curves
