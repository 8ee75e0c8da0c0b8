"""The module's main job: show what it offers."""
import lumora_python_sdk as sdk

print(sdk.__doc__)
for name in sdk.__all__:
    fn = getattr(sdk, name)
    print(f"  {name}{fn.__text_signature__}")
