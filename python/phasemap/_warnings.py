"""The package's warning category."""


class InputWarning(UserWarning):
    """An input that is accepted but looks like a slip (issued through `warnings`).

    Examples
    --------
    >>> import warnings
    >>> warnings.simplefilter("error", phasemap.InputWarning)   # make slips errors
    """
